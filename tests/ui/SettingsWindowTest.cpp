// The settings window: its single window, the tab bar, the status banner and the header's logo.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "SettingsTestSupport.h"

#include "ui/AppsView.h"
#include "ui/GeneralView.h"
#include "ui/HistoryView.h"
#include "ui/HistoryWindow.h"
#include "ui/RootView.h"
#include "ui/StatusBanner.h"
#include "ui/WindowPlacement.h"

#include "UiTestSupport.h"

#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <system_error>

namespace kx::test {
namespace {

using Tab = RootView::Tab;

std::vector<QString> tabTitles(const RootView& view)
{
    std::vector<QString> titles;
    for (const RootView::TabButton* button : view.visibleTabButtons())
        titles.push_back(button->text());
    return titles;
}

class RootViewTest : public ::testing::Test {
protected:
    SettingsBench bench;
    RootView::Model model{Tab::general};
};

// History has a tab button only in troubleshooting mode, between General and Apps.
TEST_F(RootViewTest, HistoryButtonFollowsTroubleshootingMode)
{
    RootView view(model, bench.context(), {});
    EXPECT_EQ(tabTitles(view), (std::vector<QString>{"General", "Apps"}));
    bench.behavior.setTroubleshooting(true);
    EXPECT_EQ(tabTitles(view), (std::vector<QString>{"General", "History", "Apps"}));
}

// A tab button selects its tab and a new view of that tab replaces the old one.
TEST_F(RootViewTest, TabButtonsSwitchTheView)
{
    bench.behavior.setTroubleshooting(true);
    RootView view(model, bench.context(), {});
    ASSERT_NE(qobject_cast<GeneralView*>(view.currentView()), nullptr);

    view.visibleTabButtons()[2]->click();
    EXPECT_EQ(model.tab(), Tab::apps);
    EXPECT_NE(qobject_cast<AppsView*>(view.currentView()), nullptr);
    view.visibleTabButtons()[1]->click();
    EXPECT_EQ(model.tab(), Tab::history);
    EXPECT_NE(qobject_cast<HistoryView*>(view.currentView()), nullptr);
}

// Leaving troubleshooting mode while History shows goes back to General; entering it moves nowhere.
TEST_F(RootViewTest, LeavingTroubleshootingLeavesTheHistoryTab)
{
    bench.behavior.setTroubleshooting(true);
    model.setTab(Tab::history);
    RootView view(model, bench.context(), {});

    bench.behavior.setTroubleshooting(false);
    EXPECT_EQ(model.tab(), Tab::general);
    EXPECT_NE(qobject_cast<GeneralView*>(view.currentView()), nullptr);

    model.setTab(Tab::apps);
    bench.behavior.setTroubleshooting(true);
    EXPECT_EQ(model.tab(), Tab::apps);
}

// The header shows the colour logo when it loads, else a blue square of the same size.
TEST(RootViewLogo, MissingLogoDrawsTheBlueSquare)
{
    const QImage drawn = RootView::logoPixmap(QImage(), 1.0).toImage();
    EXPECT_EQ(drawn.size(), QSize(40, 31));
    const QColor corner = drawn.pixelColor(3, 15);
    EXPECT_GT(corner.blue(), 200);
    EXPECT_LT(corner.red(), 40);

    QImage red(80, 40, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QImage logo = RootView::logoPixmap(red, 1.0).toImage();
    EXPECT_EQ(logo.pixelColor(20, 15), QColor(Qt::red));
}

class StatusBannerTest : public ::testing::Test {
protected:
    SettingsBench bench;
    StatusBanner banner{bench.actions, bench.windows};
};

// The first problem wins: missing permissions over stuck Secure Input over a secure field over a
// missing word list.
TEST_F(StatusBannerTest, KindFollowsTheMostSeriousProblem)
{
    struct Row {
        bool permissionsOK;
        bool stuck;
        bool blocked;
        std::optional<StatusBanner::Kind> kind;
        std::vector<std::string> missingWordLists = {};
    };
    const Row rows[] = {
        {true, false, false, std::nullopt},
        {false, true, true, StatusBanner::Kind::permissions, {"he"}},
        {true, true, true, StatusBanner::Kind::stuck, {"he"}},
        {true, false, true, StatusBanner::Kind::field, {"he"}},
        {true, false, false, StatusBanner::Kind::wordList, {"he"}},
    };
    for (const Row& row : rows) {
        RuntimeStatus status;
        status.permissionsOK = row.permissionsOK;
        status.secureInputStuck = row.stuck;
        status.missingWordLists = row.missingWordLists;
        EXPECT_EQ(StatusBanner::kind(status, row.blocked), row.kind);
    }

    // Files that cannot be saved rank under a secure field and over a missing word list.
    const std::vector<UnsavedFiles::Failure> unsaved = {{"/home/u/.config/kestrelix/defaults.json", "Full"}};
    RuntimeStatus status;
    status.missingWordLists = {"he"};
    EXPECT_EQ(StatusBanner::kind(status, false, unsaved), StatusBanner::Kind::unsaved);
    EXPECT_EQ(StatusBanner::kind(status, true, unsaved), StatusBanner::Kind::field);
}

// Settings and history that cannot be written are told while they fail, with the file and why,
// and the banner goes once a write goes through again.
TEST(UnsavedFilesBannerTest, SaysWhatCannotBeSavedUntilItIs)
{
    SettingsBench bench;
    UnsavedFiles unsaved;
    StatusBanner banner{bench.actions, bench.windows, nullptr, unsaved};
    EXPECT_TRUE(banner.isHidden());

    const std::filesystem::path file = "/home/u/.config/kestrelix/defaults.json";
    unsaved.note("defaults", file, std::make_error_code(std::errc::no_space_on_device));
    EXPECT_FALSE(banner.isHidden());
    EXPECT_EQ(banner.title(), QString::fromUtf8("Settings and history aren’t being saved"));
    EXPECT_EQ(banner.text(),
              QString::fromUtf8("Kestrelix can’t write /home/u/.config/kestrelix/defaults.json (No space "
                                "left on device). It goes on correcting, but changes to its settings "
                                "and history last only until it quits. Free some disk space or make "
                                "the folder writable."));
    EXPECT_TRUE(banner.setupButton()->isHidden());

    unsaved.note("defaults", file, {});
    EXPECT_TRUE(banner.isHidden());
}

// A language whose word list is missing is named, so the user learns why its words stay as typed.
TEST_F(StatusBannerTest, NamesMissingWordLists)
{
    RuntimeStatus status;
    status.missingWordLists = {"he"};
    bench.actions.publish(status);
    EXPECT_FALSE(banner.isHidden());
    EXPECT_EQ(banner.title(), "Word list missing");
    EXPECT_EQ(banner.text(), QString::fromUtf8("The word list for “he” is missing or unreadable, so words typed in "
                                               "that language may not be corrected. Reinstalling Kestrelix "
                                               "restores it."));
    EXPECT_TRUE(banner.setupButton()->isHidden());

    status.missingWordLists = {"he", "ar", "ru"};
    bench.actions.publish(status);
    EXPECT_EQ(banner.title(), "Word lists missing");
    EXPECT_TRUE(banner.text().startsWith(QString::fromUtf8("The word lists for “he”, “ar” and “ru” are missing")));
}

// The banner follows each published run state: hidden when all is well, "Open Setup" only for
// permissions, and the holder named only when there is one.
TEST_F(StatusBannerTest, FollowsThePublishedState)
{
    EXPECT_TRUE(banner.isHidden());

    RuntimeStatus noPermissions;
    noPermissions.permissionsOK = false;
    noPermissions.secureInputStuck = true;
    bench.actions.publish(noPermissions);
    EXPECT_FALSE(banner.isHidden());
    EXPECT_EQ(banner.title(), QString::fromUtf8("Kestrelix is off"));
    EXPECT_FALSE(banner.setupButton()->isHidden());
    banner.setupButton()->click();
    EXPECT_EQ(bench.windows.setups, 1);

    RuntimeStatus field;
    field.secureInputActive = true;
    bench.actions.publish(field, true);
    EXPECT_EQ(banner.title(), "Off for this text field");
    EXPECT_EQ(banner.text(), QString::fromUtf8("Paused while a password field or another program holds the keyboard. "
                                               "Kestrelix gets no keystrokes here and can’t change anything in it, "
                                               "by design."));
    EXPECT_TRUE(banner.setupButton()->isHidden());

    field.secureInputHolder = "KeePassXC";
    bench.actions.publish(field, true);
    EXPECT_TRUE(banner.text().contains(QString::fromUtf8("Paused while KeePassXC holds the keyboard (")));
    field.secureInputHolder = "<b>Vault</b>";
    bench.actions.publish(field, true);
    QLabel* text = labelWithText(banner, banner.text());
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->text().contains(QString::fromUtf8("while <b>Vault</b> holds")));
    EXPECT_FALSE(readsMarkup(*text));

    // Left the field: through the grace the banner keeps its text, the holder's name included.
    field.secureInputHolder = "KeePassXC";
    bench.actions.publish(field, true);
    const QString shown = banner.text();
    RuntimeStatus left;
    left.secureInputEndedAt = 10.0;
    bench.actions.publish(left, true);
    EXPECT_EQ(banner.text(), shown);
    bench.actions.publish(left, false);
    EXPECT_TRUE(banner.isHidden());
    RuntimeStatus nextField;
    nextField.secureInputActive = true;
    bench.actions.publish(nextField, true);
    EXPECT_FALSE(banner.text().contains("KeePassXC")) << "a later field names no earlier holder";

    RuntimeStatus stuck;
    stuck.secureInputStuck = true;
    bench.actions.publish(stuck);
    EXPECT_TRUE(banner.text().startsWith("A bug in a program left the keyboard held"));

    bench.actions.publish(RuntimeStatus{});
    EXPECT_TRUE(banner.isHidden());
}

/// A bench for the process-wide window: it must live as long as the window does.
SettingsBench& windowBench()
{
    static SettingsBench bench;
    return bench;
}

// The window is made once: a second opening on another tab switches the tab of the same window.
TEST(HistoryWindowTest, OpeningAgainReusesTheWindowOnTheAskedTab)
{
    HistoryWindow& owner = HistoryWindow::shared();
    owner.show(windowBench().context(), Tab::general);
    QWidget* first = owner.window();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->windowTitle(), QString::fromUtf8("Kestrelix — Beta"));
    // 480 x 600, or as tall as its page where the screen has room for that.
    EXPECT_EQ(first->size(), QSize(480, std::max(600, owner.rootView()->pageHeight()))
                                 .boundedTo(WindowPlacement::room(WindowPlacement::availableArea(*first))));
    EXPECT_GT(first->height(), 600) << "the General page is taller than 600";
    EXPECT_TRUE(first->isVisible());

    first->close();
    owner.show(windowBench().context(), Tab::apps);
    EXPECT_EQ(owner.window(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(owner.root()->tab(), Tab::apps);
    EXPECT_NE(qobject_cast<AppsView*>(owner.rootView()->currentView()), nullptr);
    first->close();
}

// Pictures of the three tabs with a permissions banner, for a look by eye.
TEST(SettingsShots, RenderEachTab)
{
    SettingsBench bench;
    bench.behavior.setTroubleshooting(true);
    bench.policy.note("org.gnome.TextEditor", "Text Editor");
    bench.policy.note("firefox", "Firefox");
    bench.policy.setEnabled(false, "firefox");
    auto fixed = bench.correction("akuo", "שלום", 0);
    fixed.rating = Rating::up;
    bench.store.add(bench.correction("ghbdtn", "привет", 3, std::chrono::minutes(5)));
    auto retro = bench.correction("hello world", "יקךךם 'םרךג", 1);
    retro.kind = CorrectionKind::retro;
    retro.retroCount = 1;
    bench.store.add(retro);
    bench.store.add(fixed);
    RuntimeStatus status;
    status.permissionsOK = false;
    bench.actions.publish(status);

    RootView::Model model(Tab::general);
    QWidget window;
    RootView view(model, bench.context(), {}, &window);
    window.resize(480, 600);
    view.resize(480, 600);
    window.show();
    settle();
    shot(window, "settings-general");
    model.setTab(Tab::history);
    settle();
    shot(window, "settings-history");
    model.setTab(Tab::apps);
    settle();
    shot(window, "settings-apps");
    bench.actions.publish(RuntimeStatus{});
    model.setTab(Tab::history);
    bench.store.clear();
    settle();
    shot(window, "settings-history-empty");

    // The whole General form at once.
    model.setTab(Tab::general);
    window.resize(480, 1240);
    view.resize(480, 1240);
    settle();
    shot(window, "settings-general-full");
}

}  // namespace
}  // namespace kx::test
