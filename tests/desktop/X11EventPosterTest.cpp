#include "platform/x11/X11EventPoster.h"

#include "KeyboardFixture.h"
#include "KeyboardScene.h"
#include "engine/KeyStroke.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

namespace kx::platform::x11 {
namespace {

class X11EventPosterTest : public test::KeyboardFixture {
protected:
    void tapKey(std::uint16_t code, std::uint64_t flags = 0)
    {
        ASSERT_TRUE(poster->post({.code = code, .flags = flags, .down = true, .text = {}, .marked = true}));
        ASSERT_TRUE(poster->post({.code = code, .flags = flags, .down = false, .text = {}, .marked = true}));
    }

    // One key-down and key-up per character, as the actuator posts them.
    void insert(const std::string& text)
    {
        for (const auto& character : text::characters(text)) {
            ASSERT_TRUE(poster->post({.code = 0, .flags = 0, .down = true, .text = character, .marked = true}));
            ASSERT_TRUE(poster->post({.code = 0, .flags = 0, .down = false, .text = character, .marked = true}));
        }
    }
};

// Text the current layout cannot type arrives whole: Hebrew while us is selected, Latin while il is.
TEST_F(X11EventPosterTest, TypesTextTheLayoutCannot)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    insert("שלום");
    ASSERT_TRUE(field.waitForText("שלום")) << field.text();

    test::OtherClient desktop;
    desktop.lockGroup(1);
    insert(" ok, ёж é");
    EXPECT_TRUE(field.waitForText("שלום ok, ёж é")) << field.text();
}

// A key code types what that key types on the layout with the flags' modifiers held: Shift, Backspace,
// and Command as Ctrl (Ctrl+A selects all in the field).
TEST_F(X11EventPosterTest, KeysTypeWhatTheirKeyTypes)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    tapKey(0);
    tapKey(0, EventFlags::shift);
    tapKey(1);
    ASSERT_TRUE(field.waitForText("aAs")) << field.text();
    tapKey(KeyCode::delete_);
    ASSERT_TRUE(field.waitForText("aA")) << field.text();
    tapKey(0, EventFlags::command);
    tapKey(11);
    EXPECT_TRUE(field.waitForText("b")) << field.text();
}

// A key the user is holding down is never pressed again (the server would drop our press, and our
// release would let go of the user's key): the character comes from a spare key, and each key's
// text lands once. Text posted meanwhile does not take the held key either.
TEST_F(X11EventPosterTest, KeyTheUserHoldsIsTypedAnotherWay)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    test::OtherClient user;
    user.setKey(test::Keycode::a, true);
    ASSERT_TRUE(field.waitForText("a")) << field.text();
    tapKey(0);
    insert("a");
    EXPECT_TRUE(field.waitForText("aaa")) << field.text();
    user.setKey(test::Keycode::a, false);
    tapKey(0);
    EXPECT_TRUE(field.waitForText("aaaa")) << field.text();
}

// A key is typed with the Shift of its flags, not with the Shift the user holds now for the next
// letter; and a key-up whose key-down was never posted posts nothing.
TEST_F(X11EventPosterTest, KeyIsTypedWithItsOwnShift)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    test::OtherClient user;
    user.setKey(test::Keycode::shift, true);
    tapKey(0);
    tapKey(0, EventFlags::shift);
    user.setKey(test::Keycode::shift, false);
    EXPECT_TRUE(field.waitForText("aA")) << field.text();
    ASSERT_TRUE(poster->post({.code = 11, .flags = 0, .down = false, .text = {}, .marked = true}));
    tapKey(1);
    EXPECT_TRUE(field.waitForText("aAs")) << field.text();
}

}  // namespace
}  // namespace kx::platform::x11
