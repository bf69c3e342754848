#include "platform/x11/X11InputSources.h"

#include "DesktopSession.h"
#include "KeyboardScene.h"
#include "RunCommand.h"

#include <gtest/gtest.h>

namespace kx::platform::x11 {
namespace {

using test::DesktopSession;

class X11InputSourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        ASSERT_TRUE(test::setLayouts({"us", "il"}));
        sources = X11InputSources::open();
        ASSERT_TRUE(sources);
    }

    std::unique_ptr<X11InputSources> sources;
};

const InputSource us{"us", "", 0};
const InputSource il{"il", "", 1};

// The keymap's groups are the layouts, named as setxkbmap named them; the first is selected.
TEST_F(X11InputSourcesTest, LayoutsAreTheKeymapGroups)
{
    EXPECT_EQ(sources->enabled(), (std::vector<InputSource>{us, il}));
    EXPECT_EQ(sources->current(), us);
}

// select() switches the group and the notice follows; the user's switch notifies too, Shift does not.
TEST_F(X11InputSourcesTest, SelectSwitchesAndNotifies)
{
    int notices = 0;
    const auto subscription = sources->subscribe([&] { ++notices; });

    sources->select(il);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return notices >= 1; }, 3.0));
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(sources->current(), il);

    test::OtherClient user;
    ASSERT_TRUE(user.ok());
    user.tap(test::Keycode::a, {test::Keycode::shift});
    user.lockGroup(0);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return notices >= 2; }, 3.0));
    EXPECT_EQ(notices, 2) << "a modifier is not a layout change";
    EXPECT_EQ(sources->current(), us);
}

// A new keymap (setxkbmap) is read again and announced.
TEST_F(X11InputSourcesTest, NewKeymapIsReadAgain)
{
    int notices = 0;
    const auto subscription = sources->subscribe([&] { ++notices; });
    ASSERT_TRUE(test::setLayouts({"us", "il", "ru"}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return sources->enabled().size() == 3; }, 3.0));
    EXPECT_EQ(sources->enabled(), (std::vector<InputSource>{us, il, {"ru", "", 2}}));
    EXPECT_GE(notices, 1);
}

// The command-line runs use the session's layouts, not the environment's, when there is a display.
TEST_F(X11InputSourcesTest, CommandLineRunsReadTheSessionsLayouts)
{
    ASSERT_TRUE(test::setLayouts({"us", "ru"}));
    const auto outcome = test::runCommand(std::string("XKB_DEFAULT_LAYOUT=us '") + KX_EXECUTABLE +
                                          "' --selftest 2>/dev/null");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.output.find("enabled layouts: [\"English (US)[en]\", \"Russian[ru]\"]"), std::string::npos)
        << outcome.output;
    EXPECT_EQ(outcome.output.find("need >= 2"), std::string::npos) << outcome.output;
}

}  // namespace
}  // namespace kx::platform::x11
