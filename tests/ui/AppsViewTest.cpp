// The Apps tab: the known applications in two groups, and switches that write the policy.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "SettingsTestSupport.h"

#include "ui/AppsView.h"
#include "ui/FormSection.h"
#include "ui/LockMark.h"
#include "ui/MiniToggle.h"

#include "TempFolder.h"
#include "UiTestSupport.h"

#include <QToolTip>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kx::test {
namespace {

class AppsViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bench.policy.note("org.gnome.TextEditor", "Text Editor");
        bench.policy.note("firefox", "Firefox");
        // Installed: Debian's xterm entry and GNOME's terminal; and the program itself.
        install("debian-xterm", "Name=XTerm\nExec=xterm\nIcon=mini.xterm\nStartupWMClass=XTerm\n");
        install("org.gnome.Terminal", "Name=Terminal\nExec=gnome-terminal\n");
        install("kestrelix", "Name=Kestrelix\nExec=kestrelix\n");
    }

    void install(const std::string& id, const std::string& keys)
    {
        std::filesystem::create_directories(folder);
        std::ofstream(folder / (id + ".desktop")) << "[Desktop Entry]\nType=Application\n" << keys;
    }

    std::unique_ptr<AppsView> makeView()
    {
        return std::make_unique<AppsView>(bench.policy, bench.behavior,
                                          [this](const std::string& id) { return entries.find(id); });
    }

    static std::vector<std::string> names(const std::vector<AppInfo>& apps)
    {
        std::vector<std::string> out;
        for (const AppInfo& app : apps)
            out.push_back(app.name);
        return out;
    }

    SettingsBench bench;
    TempFolder root{"kx-apps"};
    std::filesystem::path folder = root / "applications";
    platform::DesktopEntries entries{{folder}, ""};
};

// Remembered applications are switchable; the always-off ones are apart, without a switch, and
// only those installed or seen running: one row each, by the desktop entry's name, however many
// ids they go by; Kestrelix never shows.
TEST_F(AppsViewTest, ListsInstalledOrRunAppsOnce)
{
    bench.policy.note("Vncviewer", "Vncviewer");
    bench.policy.note("Kestrelix", "Kestrelix");
    const auto view = makeView();
    EXPECT_EQ(names(view->controllable()), (std::vector<std::string>{"Firefox", "Text Editor"}));
    EXPECT_EQ(names(view->locked()), (std::vector<std::string>{"Terminal", "Vncviewer", "XTerm"}));
    ASSERT_NE(view->lockedSection(), nullptr);
    for (const AppInfo& app : view->locked())
        EXPECT_EQ(view->toggle(app.id), nullptr) << app.id;
    ASSERT_NE(view->toggle("firefox"), nullptr);
    EXPECT_TRUE(view->toggle("firefox")->isOn());

    const auto xterm =
        std::ranges::find(view->apps(), std::string("XTerm"), [](const ListedApp& l) { return l.app.name; });
    ASSERT_NE(xterm, view->apps().end());
    EXPECT_EQ(xterm->ids, (std::vector<std::string>{"debian-xterm", "XTerm", "xterm"}));
    EXPECT_EQ(xterm->iconID, "debian-xterm");
    EXPECT_EQ(labelWithText(*view, "debian-uxterm"), nullptr) << "no raw ids";
    EXPECT_EQ(labelWithText(*view, "Kestrelix"), nullptr);
    EXPECT_TRUE(bench.policy.knownApps().size() > view->apps().size()) << "the policy keeps every id";
    shot(*view, "apps-tab");
}

// Each always-off row says why it can't be turned on: to the pointer as a tip, to the keyboard when
// Tab reaches its lock, and to a screen reader as the lock's description.
TEST_F(AppsViewTest, LockSaysWhyTheAppIsAlwaysOff)
{
    const auto view = makeView();
    view->resize(480, 600);
    view->show();
    view->activateWindow();
    settle();
    const QList<LockMark*> locks = view->lockedSection()->findChildren<LockMark*>();
    ASSERT_EQ(locks.size(), qsizetype(view->locked().size()));
    for (LockMark* lock : locks) {
        EXPECT_TRUE(lock->toolTip().contains("terminal")) << lock->toolTip().toStdString();
        EXPECT_EQ(lock->accessibleDescription(), lock->toolTip());
        EXPECT_TRUE(lock->focusPolicy() & Qt::TabFocus);
    }
    ASSERT_TRUE(tabTo(*locks.front()));
    // The tip is on its way (it may fade in) with the reason.
    EXPECT_EQ(QToolTip::text(), LockMark::reason());
    QToolTip::hideText();
}

// With nothing installed and nothing run, the always-off section is gone.
TEST_F(AppsViewTest, UninstalledAlwaysOffAppsAreNotListed)
{
    std::filesystem::remove_all(folder);
    platform::DesktopEntries none{{root / "nothing"}, ""};
    AppsView view(bench.policy, bench.behavior, [&none](const std::string& id) { return none.find(id); });
    EXPECT_TRUE(view.locked().empty());
    EXPECT_EQ(view.lockedSection(), nullptr);
    EXPECT_EQ(view.controllable().size(), 2u);
}

// With only always-off applications listed, the section of those the user controls says why it is
// empty instead of showing an empty box.
TEST_F(AppsViewTest, EmptyControlledSectionSaysWhy)
{
    SettingsBench fresh;
    AppsView view(fresh.policy, fresh.behavior, [this](const std::string& id) { return entries.find(id); });
    ASSERT_TRUE(view.controllable().empty());
    ASSERT_FALSE(view.locked().empty());
    EXPECT_NE(labelWithText(view, "Apps appear here once Kestrelix has run in them."), nullptr);
    EXPECT_EQ(labelWithText(*makeView(), "Apps appear here once Kestrelix has run in them."), nullptr);
}

// One application seen under two ids ("gimp" and "Gimp") is one row, and its switch writes both.
TEST_F(AppsViewTest, SwitchWritesEveryIdOfTheApplication)
{
    install("gimp", "Name=GIMP\nExec=gimp-2.10\nStartupWMClass=Gimp\n");
    bench.policy.note("gimp", "GNU Image Manipulation Program");
    bench.policy.note("Gimp", "Gimp");
    const auto view = makeView();
    view->show();
    EXPECT_EQ(std::ranges::count(names(view->controllable()), std::string("GIMP")), 1);
    MiniToggle* toggle = view->toggle("Gimp");
    ASSERT_NE(toggle, nullptr);
    click(*toggle, QPointF(10, 10));
    EXPECT_FALSE(bench.policy.isCorrectionAllowed("gimp"));
    EXPECT_FALSE(bench.policy.isCorrectionAllowed("Gimp"));
    settle();
    EXPECT_FALSE(view->toggle("Gimp")->isOn());
}

// Turning a switch off stores the application as disabled, and the reloaded list shows it off.
TEST_F(AppsViewTest, SwitchWritesThePolicy)
{
    const auto owned = makeView();
    AppsView& view = *owned;
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
    const auto owned = makeView();
    AppsView& view = *owned;
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
    const auto view = makeView();
    QLabel* label = labelWithText(*view, QString::fromStdString(name));
    ASSERT_NE(label, nullptr);
    EXPECT_FALSE(readsMarkup(*label));
}

}  // namespace
}  // namespace kx::test
