// The Apps tab: the known applications in two groups, and switches that write the policy.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "SettingsTestSupport.h"

#include "ui/AppsView.h"
#include "ui/MiniToggle.h"

#include "UiTestSupport.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

class AppsViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bench.policy.note("org.gnome.TextEditor", "Text Editor");
        bench.policy.note("firefox", "Firefox");
    }

    SettingsBench bench;
};

// Remembered applications are switchable, in the store's order; the always-off ones are apart and
// have no switch.
TEST_F(AppsViewTest, ListsKnownAppsInTwoGroups)
{
    AppsView view(bench.policy, bench.behavior);
    EXPECT_EQ(view.apps(), bench.policy.knownApps());
    std::vector<std::string> controllable;
    for (const AppInfo& app : view.controllable())
        controllable.push_back(app.id);
    EXPECT_EQ(controllable, (std::vector<std::string>{"firefox", "org.gnome.TextEditor"}));
    ASSERT_FALSE(view.locked().empty());
    EXPECT_EQ(view.locked().size(), PolicyStore::hardDeny.size());
    ASSERT_NE(view.lockedSection(), nullptr);
    for (const AppInfo& app : view.locked())
        EXPECT_EQ(view.toggle(app.id), nullptr) << app.id;
    ASSERT_NE(view.toggle("firefox"), nullptr);
    EXPECT_TRUE(view.toggle("firefox")->isOn());
}

// Turning a switch off stores the application as disabled, and the reloaded list shows it off.
TEST_F(AppsViewTest, SwitchWritesThePolicy)
{
    AppsView view(bench.policy, bench.behavior);
    view.show();
    MiniToggle* toggle = view.toggle("firefox");
    ASSERT_NE(toggle, nullptr);
    click(*toggle, QPointF(10, 10));
    EXPECT_FALSE(bench.policy.isCorrectionAllowed("firefox"));
    settle();
    EXPECT_FALSE(view.toggle("firefox")->isOn());

    click(*view.toggle("firefox"), QPointF(10, 10));
    settle();
    EXPECT_TRUE(bench.policy.isCorrectionAllowed("firefox"));
    EXPECT_TRUE(view.toggle("firefox")->isOn());
}

// Troubleshooting mode adds how each application gets its text, without reloading the list.
TEST_F(AppsViewTest, SubtitlesFollowTroubleshootingMode)
{
    AppsView view(bench.policy, bench.behavior);
    const std::string terminal = view.locked().front().id;
    EXPECT_EQ(view.subtitle("firefox"), "");

    bench.behavior.setTroubleshooting(true);
    EXPECT_EQ(view.subtitle("firefox"), "inserts via paste");
    EXPECT_EQ(view.subtitle("org.gnome.TextEditor"), "inserts via keystrokes");
    EXPECT_EQ(view.subtitle(terminal), QString::fromUtf8("terminal / remote — can't be enabled"));
}

// An application's name is shown as it calls itself, markup and all.
TEST_F(AppsViewTest, NamesAreShownAsTyped)
{
    const std::string name = "<b>Bold</b> & <i>Co</i>";
    bench.policy.note("org.example.Bold", name);
    AppsView view(bench.policy, bench.behavior);
    QLabel* label = labelWithText(view, QString::fromStdString(name));
    ASSERT_NE(label, nullptr);
    EXPECT_FALSE(readsMarkup(*label));
}

}  // namespace
}  // namespace kx::test
