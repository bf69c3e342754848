// The tray item: the menu it builds from the controller's menu, the commands its items and rows
// send back, and the flash's label beside the icon.

#include "UiTestSupport.h"

#include "ui/MiniToggle.h"
#include "ui/ModeSelectorRow.h"
#include "ui/ToggleMenuRow.h"
#include "ui/TrayStatusItem.h"

#include <QWidgetAction>

#include <gtest/gtest.h>

#include <vector>

namespace kx::test {
namespace {

StatusMenuState fullState()
{
    return {.accessibility = true,
            .inputMonitoring = true,
            .secureInputActive = true,
            .secureInputHolder = "Passwords",
            .correctionMode = CorrectionMode::automatic,
            .layouts = {{"xkb:us", "English (US)", "en", true},
                        {"xkb:il", "Hebrew (SI & Lyx)", "he", true},
                        {"xkb:ru", "Russian", "ru", false}},
            .currentLayoutID = "xkb:il",
            .frontApp = StatusMenuState::FrontApp{"org.example.Tom", "Tom & Jerry", false, true}};
}

/// One line per action: "---", "[section]", "<row class>", else the text with " ✔" when checked.
std::vector<QString> lines(QMenu& menu)
{
    std::vector<QString> out;
    for (QAction* action : menu.actions()) {
        if (auto* widgetAction = qobject_cast<QWidgetAction*>(action))
            out.push_back(QString("<") + widgetAction->defaultWidget()->metaObject()->className() + ">");
        else if (action->isSeparator())
            out.push_back(action->text().isEmpty() ? "---" : "[" + action->text() + "]");
        else
            out.push_back(action->text() + (action->isChecked() ? " ✔" : "") + (action->isEnabled() ? "" : " (off)"));
    }
    return out;
}

template <typename Row>
Row* rowOf(QMenu& menu)
{
    for (QAction* action : menu.actions())
        if (auto* widgetAction = qobject_cast<QWidgetAction*>(action))
            if (auto* row = qobject_cast<Row*>(widgetAction->defaultWidget()))
                return row;
    return nullptr;
}

QAction* actionNamed(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

class TrayStatusItemTest : public ::testing::Test {
protected:
    TrayStatusItemTest()
    {
        item.onCommand = [this](const MenuCommand& command) { commands.push_back(command); };
    }

    TrayStatusItem item;
    std::vector<MenuCommand> commands;
};

// The full menu: the banner, the rows, badges and the key after a tab, the current layout checked,
// and an "&" in a name doubled so it stays text rather than marking a keyboard accelerator.
TEST_F(TrayStatusItemTest, BuildsEveryItem)
{
    item.setMenu(StatusMenu::build(fullState()));
    EXPECT_EQ(lines(item.menu()),
              (std::vector<QString>{"<kx::SecureInputBanner>", "---", "[CORRECTION]", "<kx::ModeSelectorRow>", "---",
                                    "Swap Selection\tCtrl+Alt+K", "[LANGUAGES]", "English (US)\tAB",
                                    "Hebrew (SI && Lyx)\tאב ✔", "Russian\tno dictionary", "---", "How It Works",
                                    "Check for Updates…", "Report a Miss…", "Settings", "Quit Kestrelix", "---",
                                    "<kx::ToggleMenuRow>"}));
    item.menu().adjustSize();
    shot(item.menu(), "menu-full");
}

// Items, the mode row, the application's switch and its disclosure each send their command.
TEST_F(TrayStatusItemTest, SendsCommands)
{
    item.setMenu(StatusMenu::build(fullState()));
    actionNamed(item.menu(), "Russian\tno dictionary")->trigger();
    actionNamed(item.menu(), "Settings")->trigger();
    click(*rowOf<ModeSelectorRow>(item.menu()), {14 + 274.0 * 2 / 3 + 10, 18});
    auto* row = rowOf<ToggleMenuRow>(item.menu());
    ASSERT_NE(row, nullptr);
    click(*row->toggle(), {17, 10});
    row->disclose();
    EXPECT_EQ(commands, (std::vector<MenuCommand>{
                            {.action = MenuAction::selectLayout, .argument = "xkb:ru"},
                            {.action = MenuAction::openSettings},
                            {.action = MenuAction::setCorrectionMode, .mode = CorrectionMode::manual},
                            {.action = MenuAction::setAppEnabled, .argument = "org.example.Tom", .on = false},
                            {.action = MenuAction::manageApps},
                        }));
}

// The plain menu a tray host draws: every row as an item in the same order, the mode as radio
// items, the banner and headers as disabled lines, the hot key as the item's shortcut.
TEST_F(TrayStatusItemTest, PlainMenuHasEveryRowAsAnItem)
{
    item.setMenu(StatusMenu::build(fullState()));
    const std::vector<QString> plain = lines(item.plainMenu());
    ASSERT_GE(plain.size(), 2u);
    EXPECT_EQ(std::vector<QString>(plain.begin() + 1, plain.end()),
              (std::vector<QString>{"---", "CORRECTION (off)", "Automatic ✔", "Ask", "Manual", "---",
                                    "Swap Selection", "LANGUAGES (off)", "English (US) — AB",
                                    "Hebrew (SI && Lyx) — אב ✔", "Russian — no dictionary", "---", "How It Works",
                                    "Check for Updates…", "Report a Miss…", "Settings", "Quit Kestrelix", "---",
                                    "Swap in Tom && Jerry ✔"}));
    EXPECT_TRUE(plain[0].contains("Paused while Passwords holds the keyboard") && plain[0].endsWith("(off)"))
        << plain[0].toStdString();
    EXPECT_EQ(actionNamed(item.plainMenu(), "Swap Selection")->shortcut(), QKeySequence("Ctrl+Alt+K"));
}

// Its items send the commands the rows send; choosing the mode already on sends nothing.
TEST_F(TrayStatusItemTest, PlainMenuSendsCommands)
{
    item.setMenu(StatusMenu::build(fullState()));
    actionNamed(item.plainMenu(), "Automatic")->trigger();
    actionNamed(item.plainMenu(), "Manual")->trigger();
    actionNamed(item.plainMenu(), "Russian — no dictionary")->trigger();
    actionNamed(item.plainMenu(), "Swap in Tom && Jerry")->trigger();
    EXPECT_EQ(commands, (std::vector<MenuCommand>{
                            {.action = MenuAction::setCorrectionMode, .mode = CorrectionMode::manual},
                            {.action = MenuAction::selectLayout, .argument = "xkb:ru"},
                            {.action = MenuAction::setAppEnabled, .argument = "org.example.Tom", .on = false},
                        }));
}

// It follows each rebuild: a new state in the same items in place, a new shape made anew.
TEST_F(TrayStatusItemTest, PlainMenuFollowsRebuilds)
{
    StatusMenuState state = fullState();
    item.setMenu(StatusMenu::build(state));
    QAction* manual = actionNamed(item.plainMenu(), "Manual");
    state.correctionMode = CorrectionMode::manual;
    state.currentLayoutID = "xkb:us";
    item.setMenu(StatusMenu::build(state));
    EXPECT_EQ(actionNamed(item.plainMenu(), "Manual"), manual) << "made anew for a change of state";
    EXPECT_TRUE(manual->isChecked());
    EXPECT_FALSE(actionNamed(item.plainMenu(), "Automatic")->isChecked());
    EXPECT_TRUE(actionNamed(item.plainMenu(), "English (US) — AB")->isChecked());
    item.setMenu(StatusMenu::build({.accessibility = false, .inputMonitoring = true}));
    EXPECT_EQ(lines(item.plainMenu()).front(), "Kestrelix — not running (off)");
}

// The menu is rebuilt each time it opens, before it shows.
TEST_F(TrayStatusItemTest, RebuildsWhenOpened)
{
    int asked = 0;
    item.onMenuNeedsUpdate = [&] {
        ++asked;
        item.setMenu(StatusMenu::build({.accessibility = asked > 1, .inputMonitoring = true}));
    };
    for (const char* first : {"Kestrelix — not running (off)", "[CORRECTION]"}) {
        item.menu().popup({50, 50});
        runFor(10);
        EXPECT_EQ(lines(item.menu()).front(), first);
        item.menu().hide();
    }
    EXPECT_EQ(asked, 2);
}

// While the menu is open, a refresh updates its items in place and the menu stays open; a refresh
// that changes its shape (the Secure Input banner coming) waits until the menu closes.
TEST_F(TrayStatusItemTest, OpenMenuIsUpdatedInPlace)
{
    StatusMenuState state = fullState();
    state.secureInputActive = false;
    item.onMenuNeedsUpdate = [&] { item.setMenu(StatusMenu::build(state)); };
    item.menu().popup({50, 50});
    runFor(10);
    ASSERT_TRUE(item.menu().isVisible());
    QAction* hebrew = actionNamed(item.menu(), "Hebrew (SI && Lyx)\tאב");
    ASSERT_NE(hebrew, nullptr);
    ASSERT_TRUE(hebrew->isChecked());
    QWidget* modeRow = rowOf<ModeSelectorRow>(item.menu());

    state.currentLayoutID = "xkb:us";
    item.setMenu(StatusMenu::build(state));
    runFor(10);
    EXPECT_TRUE(item.menu().isVisible());
    EXPECT_EQ(actionNamed(item.menu(), "Hebrew (SI && Lyx)\tאב"), hebrew) << "the same item, not a new one";
    EXPECT_FALSE(hebrew->isChecked());
    EXPECT_TRUE(actionNamed(item.menu(), "English (US)\tAB")->isChecked());
    EXPECT_EQ(rowOf<ModeSelectorRow>(item.menu()), modeRow);

    state.secureInputActive = true;
    item.setMenu(StatusMenu::build(state));
    runFor(10);
    EXPECT_TRUE(item.menu().isVisible());
    EXPECT_EQ(lines(item.menu()).front(), "[CORRECTION]") << "no banner pushed in while open";

    item.menu().hide();
    runFor(10);
    EXPECT_EQ(lines(item.menu()).front(), "<kx::SecureInputBanner>") << "the new shape once closed";
}

// A flash's text shows in a label beside the icon for 1.4 s and as the tooltip, while the icon
// keeps its glyph; a second flash replaces the text.
TEST_F(TrayStatusItemTest, FlashShowsALabel)
{
    item.showGlyph({.tooltip = "Kestrelix is on"});
    const qint64 glyph = item.trayIcon().icon().cacheKey();
    item.showText("↺ hello@kestrelix.app copied");
    EXPECT_EQ(item.trayIcon().icon().cacheKey(), glyph) << "no text drawn into the icon";
    FlashLabel& label = item.flashLabel();
    EXPECT_TRUE(label.isVisible());
    EXPECT_EQ(label.text(), QString("↺ hello@kestrelix.app copied"));
    EXPECT_EQ(item.trayIcon().toolTip(), label.text());
    EXPECT_GE(label.width(), QFontMetrics(label.font()).horizontalAdvance(label.text()));
    shot(label, "flash-label");
    runFor(800);
    item.showText("Undone");
    runFor(900);
    EXPECT_TRUE(label.isVisible()) << "the second flash keeps its own time";
    EXPECT_EQ(label.text(), QString("Undone"));
    runFor(700);
    EXPECT_FALSE(label.isVisible());
    item.showGlyph({.tooltip = "Kestrelix is on"});
    EXPECT_EQ(item.trayIcon().toolTip(), QString("Kestrelix is on"));
}

// The label sits under an icon in a top panel and above one in a bottom panel, centred on it and
// kept on the screen.
TEST(FlashLabelTest, PlacedBesideTheIcon)
{
    const QRect screen(0, 0, 1000, 800);
    EXPECT_EQ(FlashLabel::placement({100, 30}, QRect(500, 0, 24, 24), screen), QPoint(462, 30));
    EXPECT_EQ(FlashLabel::placement({100, 30}, QRect(500, 776, 24, 24), screen), QPoint(462, 740));
    EXPECT_EQ(FlashLabel::placement({100, 30}, QRect(976, 0, 24, 24), screen), QPoint(900, 30));
}

}  // namespace
}  // namespace kx::test
