#include "platform/x11/X11EventPoster.h"

#include "KeyboardFixture.h"
#include "KeyboardScene.h"
#include "KeymapWatch.h"
#include "platform/KeyStroke.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

// After GoogleTest: X.h defines None.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <future>
#include <map>
#include <utility>
#include <vector>

namespace kx::platform::x11 {
namespace {

class X11EventPosterTest : public test::KeyboardFixture {
protected:
    void tapKey(std::uint16_t code, std::uint64_t flags = 0)
    {
        ASSERT_TRUE(poster->post({.code = code, .flags = flags, .down = true, .text = {}, .marked = true}));
        ASSERT_TRUE(poster->post({.code = code, .flags = flags, .down = false, .text = {}, .marked = true}));
    }

    // The modifiers whose keys are down now, as the server has them.
    static unsigned heldModifiers()
    {
        Display* display = XOpenDisplay(nullptr);
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        XCloseDisplay(display);
        return state.base_mods;
    }

    static int lockedGroup()
    {
        Display* display = XOpenDisplay(nullptr);
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        XCloseDisplay(display);
        return state.locked_group;
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

// The keycodes that hold no symbol, and those the root window lists as lent by a run of ours.
struct KeycodeCensus {
    int empty = 0;
    int lent = 0;
};

KeycodeCensus census()
{
    KeycodeCensus counted;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return counted;
    int min = 0;
    int max = 0;
    XDisplayKeycodes(display, &min, &max);
    int width = 0;
    KeySym* mapping = XGetKeyboardMapping(display, static_cast<unsigned char>(min), max - min + 1, &width);
    for (int keycode = 0; mapping && keycode <= max - min; ++keycode) {
        const KeySym* row = mapping + static_cast<std::ptrdiff_t>(keycode) * width;
        counted.empty += std::all_of(row, row + width, [](KeySym k) { return k == NoSymbol; }) ? 1 : 0;
    }
    if (mapping)
        XFree(mapping);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, "_KESTRELIX_LENT_KEYCODES", False), 0,
                       256, False, AnyPropertyType, &type, &format, &count, &after, &data);
    counted.lent = static_cast<int>(count);
    if (data)
        XFree(data);
    XCloseDisplay(display);
    return counted;
}

// Every keycode that types something, with its symbols.
std::map<int, std::vector<KeySym>> realKeys()
{
    std::map<int, std::vector<KeySym>> keys;
    Display* display = XOpenDisplay(nullptr);
    int min = 0;
    int max = 0;
    XDisplayKeycodes(display, &min, &max);
    int width = 0;
    KeySym* mapping = XGetKeyboardMapping(display, static_cast<unsigned char>(min), max - min + 1, &width);
    for (int keycode = min; mapping && keycode <= max; ++keycode) {
        const KeySym* row = mapping + static_cast<std::ptrdiff_t>(keycode - min) * width;
        if (std::any_of(row, row + width, [](KeySym k) { return k != NoSymbol; }))
            keys[keycode] = {row, row + width};
    }
    if (mapping)
        XFree(mapping);
    XCloseDisplay(display);
    return keys;
}

// Hebrew, Russian and Greek letters are typed by their own layout's keys when that layout is
// selected, whatever keysyms name them there: no spare keycode is lent for them. (Greek accented
// letters are dead-key sequences there, typed by a spare.)
TEST_F(X11EventPosterTest, LettersOfTheCurrentLayoutUseItsOwnKeys)
{
    for (const auto& [layout, text] : std::vector<std::pair<std::string, std::string>>{
             {"il", "כך גם צריך, שבת שלום"}, {"ru", "Съешь же ещё"}, {"gr", "Γεια σας φιλε"}}) {
        ASSERT_TRUE(test::setLayouts({"us", layout}));
        poster = std::make_unique<X11EventPoster>(keyboard);
        test::TextField field;
        ASSERT_TRUE(field.ok());
        const KeycodeCensus before = census();
        test::OtherClient desktop;
        desktop.lockGroup(1);
        insert(text);
        EXPECT_TRUE(field.waitForText(text)) << field.text();
        EXPECT_EQ(census().empty, before.empty) << layout;
        EXPECT_EQ(census().lent, 0) << layout;
    }
}

// Spare keycodes a run left lent (it was killed) are taken up by the next run, which gives them
// back with its own when it ends: none is lost for the rest of the X session.
TEST_F(X11EventPosterTest, SparesLeftByAKilledRunAreReusedAndGivenBack)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    const KeycodeCensus fresh = census();
    ASSERT_EQ(fresh.lent, 0);
    // Never destroyed, as a killed run never is.
    auto* killed = new X11EventPoster(X11Keyboard::open());
    for (const bool down : {true, false})
        ASSERT_TRUE(killed->post({.code = 0, .flags = 0, .down = down, .text = "✓", .marked = true}));
    ASSERT_TRUE(field.waitForText("✓")) << field.text();
    EXPECT_EQ(census().empty, fresh.empty - 1);
    EXPECT_EQ(census().lent, 1);

    insert("✓✔");
    EXPECT_TRUE(field.waitForText("✓✓✔")) << field.text();
    EXPECT_EQ(census().empty, fresh.empty - 2) << "the killed run's ✓ key typed ✓ again";
    EXPECT_EQ(census().lent, 2);
    poster.reset();
    EXPECT_EQ(census().empty, fresh.empty);
    EXPECT_EQ(census().lent, 0);
}

// A rewrite that needs several characters no key types gives the spare keys all of them in one
// keymap change (each change makes every client reload its keymap), which leaves the real keys
// between the spares as they were; giving them all back at the end is one change too. The server
// announces such a change twice: for the keyboard and for its XTEST device.
TEST_F(X11EventPosterTest, RewriteLendsAllItsCharactersInOneKeymapChange)
{
    ASSERT_TRUE(test::setLayouts({"us", "ru"}));
    poster = std::make_unique<X11EventPoster>(keyboard);
    test::TextField field;
    ASSERT_TRUE(field.ok());
    const KeycodeCensus fresh = census();
    const auto keys = realKeys();
    test::KeymapWatch keymap;
    const std::string text = "✓ ✔ ✗ ★ ж";
    std::vector<SyntheticKey> batch;
    for (const auto& character : text::characters(text))
        for (const bool down : {true, false})
            batch.push_back({.code = 0, .flags = 0, .down = down, .text = character, .marked = true});
    ASSERT_TRUE(poster->postBatch(batch));
    EXPECT_TRUE(field.waitForText(text)) << field.text();
    EXPECT_LE(keymap.take().core, 2);
    EXPECT_EQ(census().empty, fresh.empty - 4);
    auto now = realKeys();
    for (const auto& [keycode, symbols] : keys)
        EXPECT_EQ(now[keycode], symbols) << "keycode " << keycode;
    EXPECT_EQ(lockedGroup(), 0);

    poster.reset();
    EXPECT_LE(keymap.take().core, 2);
    EXPECT_EQ(census().empty, fresh.empty);
    EXPECT_EQ(census().lent, 0);
}

// Text posted while the user holds Ctrl (long past the moment we wait for it) still arrives as
// text, not as Ctrl+A (select all) and Ctrl+B; the user's Ctrl is held again afterwards.
TEST_F(X11EventPosterTest, HeldCtrlNeverMakesOurTextAShortcut)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    insert("xy");
    ASSERT_TRUE(field.waitForText("xy"));
    test::OtherClient user;
    user.key(test::Keycode::control, true);
    insert("ab");
    tapKey(KeyCode::delete_);
    EXPECT_TRUE(field.waitForText("xya")) << field.text();
    EXPECT_EQ(heldModifiers() & ControlMask, static_cast<unsigned>(ControlMask)) << "the user's Ctrl is down again";
    user.key(test::Keycode::control, false);
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

// More characters than there are spare keys: each spare is given one character after another, and
// the Qt field types each one as it is now, not the spare's character before.
TEST_F(X11EventPosterTest, SparesGivenNewCharactersTypeTheirNewOnes)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    const std::string letters = "йцукенгшщзхъфывапролджэя";
    std::string typed;
    for (int round = 0; round < 3; ++round) {
        insert(letters);
        typed += letters;
    }
    EXPECT_TRUE(field.waitForText(typed)) << field.text();
}

// A rewrite posted as one batch lands in order, Backspaces first, its characters typed by the
// layout's own keys and by spares alike.
TEST_F(X11EventPosterTest, BatchLandsInOrder)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    insert("ghbdtn ");
    ASSERT_TRUE(field.waitForText("ghbdtn ")) << field.text();
    std::vector<SyntheticKey> batch;
    for (int i = 0; i < 7; ++i)
        for (const bool down : {true, false})
            batch.push_back({.code = 51, .flags = 0, .down = down, .text = {}, .marked = true});
    for (const auto& character : text::characters("привет, world "))
        for (const bool down : {true, false})
            batch.push_back({.code = 0, .flags = 0, .down = down, .text = character, .marked = true});
    EXPECT_TRUE(poster->postBatch(batch));
    EXPECT_TRUE(field.waitForText("привет, world ")) << field.text();
}

// A batch meant for the window that had the focus goes nowhere once another window has it; one
// for the window that has it lands.
TEST_F(X11EventPosterTest, BatchIntoAWindowThatLostTheFocusIsNotPosted)
{
    test::TextField first;
    ASSERT_TRUE(first.ok());
    const auto window = poster->focusWindow();
    ASSERT_TRUE(window);
    test::TextField second("KxSecond");
    ASSERT_TRUE(second.ok());
    const auto now = poster->focusWindow();
    ASSERT_TRUE(now);
    ASSERT_NE(*now, *window);
    const auto typing = [](const std::string& character) {
        return std::vector<SyntheticKey>{{.code = 0, .flags = 0, .down = true, .text = character, .marked = true},
                                         {.code = 0, .flags = 0, .down = false, .text = character, .marked = true}};
    };
    EXPECT_EQ(poster->postBatchInto(*window, typing("x")), BatchOutcome::focusLeft);
    EXPECT_EQ(poster->postBatchInto(*now, typing("y")), BatchOutcome::posted);
    EXPECT_TRUE(second.waitForText("y")) << second.text();
    EXPECT_EQ(first.text(), "");
}

// A key of ours goes out whole: the user's press of the same key between our key-down and key-up
// lands too (the server would drop a press of a key that is down).
TEST_F(X11EventPosterTest, UsersPressBetweenOurKeyDownAndUpLands)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    test::OtherClient user;
    ASSERT_TRUE(poster->post({.code = 0, .flags = 0, .down = true, .text = {}, .marked = true}));
    user.setKey(test::Keycode::a, true);
    ASSERT_TRUE(poster->post({.code = 0, .flags = 0, .down = false, .text = {}, .marked = true}));
    user.setKey(test::Keycode::a, false);
    EXPECT_TRUE(field.waitForText("aa")) << field.text();
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

// A character lent to a spare key stays there: typing it again in a later rewrite reuses the key
// without another keymap change, which every client on the desktop would have to reload.
TEST_F(X11EventPosterTest, LentCharactersAreReusedWithoutKeymapChanges)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    test::KeymapWatch keymap;
    insert("✓✔");
    ASSERT_TRUE(field.waitForText("✓✔")) << field.text();
    EXPECT_GT(keymap.take().core, 0);
    insert("✔✓");
    tapKey(KeyCode::delete_);
    insert("✓");
    EXPECT_TRUE(field.waitForText("✓✔✔✓")) << field.text();
    EXPECT_EQ(keymap.take().core, 0);
}

// While the keyboard is held for a rewrite, a key the user holds for a moment (the Space that
// ended a word, the next letter) is waited out and then typed by its own key: no spare is given
// a character for it.
TEST_F(X11EventPosterTest, KeyLetGoOfSoonIsTypedByItsOwnKey)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    test::OtherClient user;
    test::KeymapWatch keymap;
    // The user holds keycode and lets go of it once the first character of text has landed.
    const auto insertWhileHeld = [&](unsigned keycode, const std::string& text, const std::string& landed) {
        user.setKey(keycode, true);
        keyboard->setHolding(true);
        auto posted = std::async(std::launch::async, [&] { insert(text); });
        EXPECT_TRUE(field.waitForText(landed)) << field.text();
        user.setKey(keycode, false);
        posted.get();
        keyboard->setHolding(false);
    };
    insertWhileHeld(test::Keycode::a, "ba", "ab");
    ASSERT_TRUE(field.waitForText("aba")) << field.text();
    insertWhileHeld(test::Keycode::space, "b ", "aba b");
    EXPECT_TRUE(field.waitForText("aba b ")) << field.text();
    EXPECT_EQ(keymap.take().core, 0);
}

// Under the Shift the user holds, capitals and the Space are typed by their own keys, as that
// Shift makes them type: no spare key, and the user's Shift is not touched.
TEST_F(X11EventPosterTest, ShiftTheUserHoldsTypesItsOwnLevel)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    test::OtherClient user;
    user.setKey(test::Keycode::shift, true);
    test::KeymapWatch keymap;
    insert("AB C");
    EXPECT_TRUE(field.waitForText("AB C")) << field.text();
    EXPECT_EQ(keymap.take().core, 0);
    user.setKey(test::Keycode::shift, false);
}

// The user selected us again before our Russian rewrite went out: its letters, capitals and marks
// are typed by the ru keys with that group latched for each press, and a key typed in ru by the ru
// key, so that no spare is given a character (each change makes every client reload its keymap)
// and us stays selected.
TEST_F(X11EventPosterTest, TextOfAnotherEnabledLayoutChangesNoKeymap)
{
    ASSERT_TRUE(test::setLayouts({"us", "ru"}));
    poster = std::make_unique<X11EventPoster>(keyboard);
    test::TextField field;
    ASSERT_TRUE(field.ok());
    test::KeymapWatch keymap;
    const std::string sentence = "Привет мир. Как дела у Вас? В Москве сегодня тепло, а в Питере дождь.";
    std::vector<SyntheticKey> batch;
    for (const auto& character : text::characters(sentence))
        for (const bool down : {true, false})
            batch.push_back({.code = 0, .flags = 0, .down = down, .text = character, .marked = true});
    ASSERT_TRUE(poster->postBatch(batch));
    ASSERT_TRUE(field.waitForText(sentence)) << field.text();
    for (const bool down : {true, false})
        ASSERT_TRUE(poster->post({.code = 0, .flags = 0, .down = down, .text = {}, .marked = true, .sourceHandle = 1}));
    tapKey(0);
    EXPECT_TRUE(field.waitForText(sentence + "фa")) << field.text();
    EXPECT_EQ(keymap.take().core, 0);
    EXPECT_EQ(lockedGroup(), 0);
}

// Every key press and release the server takes from any device, in order, as keycode and
// direction: what a program does to the keyboard, whatever window has the focus.
class RawKeys {
public:
    RawKeys() : m_display(XOpenDisplay(nullptr))
    {
        int event = 0;
        int error = 0;
        if (!m_display || !XQueryExtension(m_display, "XInputExtension", &m_opcode, &event, &error))
            return;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
        XISelectEvents(m_display, DefaultRootWindow(m_display), &mask, 1);
        XSync(m_display, False);
    }
    ~RawKeys()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    std::vector<std::pair<unsigned, bool>> take()
    {
        std::vector<std::pair<unsigned, bool>> keys;
        XSync(m_display, False);
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.xcookie.type == GenericEvent && event.xcookie.extension == m_opcode &&
                XGetEventData(m_display, &event.xcookie)) {
                const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
                keys.emplace_back(static_cast<unsigned>(raw->detail), event.xcookie.evtype == XI_RawKeyPress);
                XFreeEventData(m_display, &event.xcookie);
            }
        }
        return keys;
    }

private:
    Display* m_display;
    int m_opcode = 0;
};

// The Shift the user holds for the next capital is never let go of or pressed for them: on a real
// keyboard a release from us would not let go of the user's key, and a press from us would stay
// down after the user lets go. What the Shift would change is typed by spare keys instead, and a
// Backspace still deletes one character.
TEST_F(X11EventPosterTest, ShiftTheUserHoldsIsLeftAlone)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    insert("xy");
    ASSERT_TRUE(field.waitForText("xy"));
    test::OtherClient user;
    user.setKey(test::Keycode::shift, true);
    RawKeys raw;
    raw.take();
    tapKey(KeyCode::delete_);
    insert("ab");
    insert("של");
    tapKey(0);
    EXPECT_TRUE(field.waitForText("xabשלa")) << field.text();
    for (const auto& [keycode, down] : raw.take())
        EXPECT_NE(keycode, test::Keycode::shift) << (down ? "pressed" : "released") << " while the user held it";
    user.setKey(test::Keycode::shift, false);
    EXPECT_EQ(heldModifiers() & ShiftMask, 0u) << "Shift stays down after the user let go";
}

}  // namespace
}  // namespace kx::platform::x11
