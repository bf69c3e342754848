// How the user learns to turn a permission on: GNOME's help page where the session is GNOME's,
// else (or when that page cannot be opened) the steps; Input Monitoring always by its steps.

#include "controller/PageOpener.h"
#include "controller/Permissions.h"
#include "platform/VirtualMainQueue.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimWorkspace.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

class RecordedAlerts final : public AlertView {
public:
    void show(const Alert& alert, std::function<void(std::optional<std::size_t>)>) override { shown.push_back(alert); }
    std::vector<Alert> shown;
};

struct PageOpenerTest : ::testing::Test {
    VirtualMainQueue queue;
    sim::SimWorkspace workspace{queue};
    sim::SimPasteboard pasteboard;
    RecordedAlerts alerts;
    PageOpener pages{workspace, pasteboard, &alerts};
};

TEST(PageOpenerDesktop, GnomeIsFoundInTheList)
{
    EXPECT_TRUE(PageOpener::isGnome("GNOME"));
    EXPECT_TRUE(PageOpener::isGnome("ubuntu:GNOME"));
    EXPECT_TRUE(PageOpener::isGnome("gnome-flashback:gnome"));
    EXPECT_FALSE(PageOpener::isGnome("gnome-flashback"));
    EXPECT_FALSE(PageOpener::isGnome("KDE"));
    EXPECT_FALSE(PageOpener::isGnome(""));
}

TEST_F(PageOpenerTest, AccessibilityOnGnomeOpensItsHelp)
{
    pages.explainPermission(platform::Permission::accessibility, {}, "ubuntu:GNOME");
    queue.advance(0.1);
    EXPECT_EQ(workspace.openedUrls(), std::vector<std::string>{std::string(Permissions::accessibilityPane)});
    EXPECT_TRUE(alerts.shown.empty());

    workspace.opensFail = true;
    pages.explainPermission(platform::Permission::accessibility, {}, "GNOME");
    queue.advance(0.1);
    ASSERT_EQ(alerts.shown.size(), 1u) << "the steps when the help cannot be opened";
    EXPECT_EQ(alerts.shown[0].informativeText, std::string(Permissions::accessibilitySteps));
}

TEST_F(PageOpenerTest, ElsewhereTheStepsShow)
{
    pages.explainPermission(platform::Permission::accessibility, {}, "KDE");
    pages.explainPermission(platform::Permission::inputMonitoring, {"RECORD"}, "ubuntu:GNOME");
    queue.advance(0.1);
    EXPECT_TRUE(workspace.openedUrls().empty());
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[0].informativeText, std::string(Permissions::accessibilitySteps));
    EXPECT_NE(alerts.shown[0].informativeText.find("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"), std::string::npos);
    EXPECT_EQ(alerts.shown[1].informativeText, Permissions::keyboardAccessSteps({"RECORD"}));
    EXPECT_EQ(alerts.shown[1].buttons, std::vector<std::string>{"Close"});
}

// The keyboard steps name exactly the extensions the display lacks, and that a new session is the
// only way to get them.
TEST(KeyboardAccessSteps, NameWhatIsMissing)
{
    EXPECT_EQ(Permissions::joinedNames({"RECORD"}), "RECORD");
    EXPECT_EQ(Permissions::joinedNames({"XTEST", "RECORD"}), "XTEST and RECORD");
    EXPECT_EQ(Permissions::joinedNames({"XKB", "XTEST", "RECORD"}), "XKB, XTEST and RECORD");

    const std::string record = Permissions::keyboardAccessSteps({"RECORD"});
    EXPECT_NE(record.find("This display lacks RECORD,"), std::string::npos) << record;
    EXPECT_NE(record.find("new X11 session"), std::string::npos) << record;
    const std::string unknown = Permissions::keyboardAccessSteps({});
    EXPECT_EQ(unknown.find("lacks"), std::string::npos) << "nothing is named that was not found missing";
}

}  // namespace
}  // namespace kx
