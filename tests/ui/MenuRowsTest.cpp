// The status menu's custom rows: their sizes and layout, their texts, what a click does, and how
// they draw (each is saved as a picture).

#include "UiTestSupport.h"

#include "ui/MiniToggle.h"
#include "ui/ModeSelectorRow.h"
#include "ui/SecureInputBanner.h"
#include "ui/ToggleMenuRow.h"
#include "ui/Typography.h"

#include <QAccessible>
#include <QMenu>
#include <QTextBlock>
#include <QToolButton>
#include <QWidgetAction>

#include <gtest/gtest.h>

#include <vector>

namespace kx::test {
namespace {

bool isWhite(QColor c)
{
    return c.red() > 240 && c.green() > 240 && c.blue() > 240;
}

// A click reports the new state at once, before the knob moves; a second click during the slide
// reverses the knob from where it is.
TEST(MiniToggleTest, ClickReportsAtOnceAndReversesMidway)
{
    MiniToggle toggle(false);
    EXPECT_EQ(toggle.size(), QSize(34, 20));
    EXPECT_TRUE(isWhite(shot(toggle, "toggle-off").pixelColor(10, 10)));
    std::vector<std::pair<bool, double>> reports;
    toggle.onChange = [&](bool on) { reports.emplace_back(on, toggle.progress()); };

    click(toggle, {17, 10});
    runFor(50);
    const double midway = toggle.progress();
    click(toggle, {17, 10});
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], std::make_pair(true, 0.0));
    EXPECT_EQ(reports[1], std::make_pair(false, midway));
    EXPECT_GT(midway, 0.0);
    EXPECT_LT(midway, 1.0);

    click(toggle, {17, 10});
    runFor(300);
    EXPECT_EQ(toggle.progress(), 1.0);
    const QImage on = shot(toggle, "toggle-on");
    EXPECT_TRUE(isWhite(on.pixelColor(24, 10)));  // the knob travelled from x 3 to 17
    EXPECT_FALSE(isWhite(on.pixelColor(10, 10)));
}

// 300 x 30 without a subtitle, 40 with; the switch 12 from the right end, the disclosure button 8
// before it, the text stopping 16 before whichever comes next; wider rows keep the switch at the end.
TEST(ToggleMenuRowTest, Geometry)
{
    ToggleMenuRow plain("Swap in Text Editor", std::nullopt, QIcon(), true, true);
    EXPECT_EQ(plain.size(), QSize(300, 30));
    EXPECT_EQ(plain.toggle()->geometry(), QRect(254, 5, 34, 20));
    ASSERT_NE(plain.disclosureButton(), nullptr);
    EXPECT_EQ(plain.disclosureButton()->geometry(), QRect(228, 6, 18, 18));
    EXPECT_EQ(plain.textRect().left(), 14);
    EXPECT_EQ(plain.textRect().right() + 1, 228 - 16);
    shot(plain, "toggle-row");

    QPixmap square(18, 18);
    square.fill(Qt::darkGreen);
    ToggleMenuRow full("Swap in Text Editor", QString("Corrections on"), QIcon(square), false, false);
    EXPECT_EQ(full.size(), QSize(300, 40));
    EXPECT_TRUE(full.findChildren<QToolButton*>().isEmpty());
    EXPECT_EQ(full.textRect().left(), 14 + 18 + 8);
    EXPECT_EQ(full.textRect().right() + 1, 254 - 16);
    EXPECT_EQ(shot(full, "toggle-row-subtitle").pixelColor(14 + 9, 20), QColor(Qt::darkGreen));
    full.resize(380, 40);
    full.show();
    EXPECT_EQ(full.toggle()->x(), 380 - 12 - 34);
}

// Only the switch reports; the pointer over the row tints it; the disclosure button closes the
// menu before its callback runs.
TEST(ToggleMenuRowTest, SwitchHoverAndDisclosure)
{
    QMenu menu;
    auto* row = new ToggleMenuRow("Swap in Text Editor", std::nullopt, QIcon(), true, true);
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(row);
    menu.addAction(action);
    std::vector<bool> toggles;
    row->onToggle = [&](bool on) { toggles.push_back(on); };
    click(*row, {60, 15});
    click(*row->toggle(), {17, 10});
    EXPECT_EQ(toggles, std::vector<bool>{false});

    const QColor idle = shot(*row, "toggle-row-idle").pixelColor(8, 15);
    QEnterEvent enter({60, 15}, {60, 15}, {60, 15});
    QCoreApplication::sendEvent(row, &enter);
    const QImage hovered = shot(*row, "toggle-row-hover");
    EXPECT_NE(hovered.pixelColor(8, 15), idle);
    EXPECT_EQ(hovered.pixelColor(2, 15), idle);  // inset 5 from each side

    menu.popup({100, 100});
    runFor(20);
    std::optional<bool> menuOpenWhenCalled;
    row->onDisclosure = [&] { menuOpenWhenCalled = menu.isVisible(); };
    row->disclosureButton()->click();
    EXPECT_EQ(menuOpenWhenCalled, false);
}

// From the keyboard: Left moves from the switch to the button, Right back, and Return on the button
// opens the list while Space on the switch still flips it.
TEST(ToggleMenuRowTest, DisclosureReachedByKeyboard)
{
    QMenu menu;
    auto* row = new ToggleMenuRow("Swap in Text Editor", std::nullopt, QIcon(), true, true);
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(row);
    menu.addAction(action);
    menu.popup({100, 100});
    runFor(20);
    std::vector<bool> toggles;
    int disclosed = 0;
    row->onToggle = [&](bool on) { toggles.push_back(on); };
    row->onDisclosure = [&] { ++disclosed; };
    const auto press = [](QWidget* target, int key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "");
        QCoreApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "");
        QCoreApplication::sendEvent(target, &up);
    };

    row->toggle()->setFocus();
    press(row->toggle(), Qt::Key_Left);
    EXPECT_TRUE(row->disclosureButton()->hasFocus());
    press(row->disclosureButton(), Qt::Key_Right);
    EXPECT_TRUE(row->toggle()->hasFocus());
    press(row->toggle(), Qt::Key_Space);
    EXPECT_EQ(toggles, std::vector<bool>{false});
    EXPECT_EQ(disclosed, 0);

    press(row->toggle(), Qt::Key_Left);
    press(row->disclosureButton(), Qt::Key_Return);
    EXPECT_EQ(disclosed, 1);
}

// The track is (14, 6, 274, 24) in three segments; the selected pill has the accent colour.
TEST(ModeSelectorRowTest, Geometry)
{
    ModeSelectorRow row(CorrectionMode::manual);
    EXPECT_EQ(row.size(), QSize(300, 36));
    EXPECT_EQ(row.trackRect(), QRectF(14, 6, 274, 24));
    EXPECT_EQ(row.segmentRect(1), QRectF(14 + 274.0 / 3, 6, 274.0 / 3, 24));
    const QImage picture = shot(row, "mode-row");
    const QColor accent = row.palette().color(QPalette::Highlight);
    EXPECT_EQ(picture.pixelColor(int(14 + 274.0 * 2 / 3 + 6), 10), accent);
    EXPECT_NE(picture.pixelColor(20, 10), accent);
}

// A click on another segment selects it and reports its mode; the selected one, the margins and the
// space above and below the track do nothing. The pointer's segment gets the faint pill.
TEST(ModeSelectorRowTest, ClickSelectsASegment)
{
    ModeSelectorRow row(CorrectionMode::automatic);
    std::vector<CorrectionMode> changes;
    row.onChange = [&](CorrectionMode mode) { changes.push_back(mode); };
    for (const QPointF miss : {QPointF(10, 18), QPointF(292, 18), QPointF(100, 3), QPointF(100, 32), QPointF(40, 18)})
        click(row, miss);
    EXPECT_TRUE(changes.empty());

    click(row, {14 + 274.0 / 3 + 1, 18});
    EXPECT_EQ(changes, std::vector<CorrectionMode>{CorrectionMode::ask});
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&row)->text(QAccessible::Value), "Ask");

    sendMouse(row, QEvent::MouseMove, {250, 18});
    EXPECT_EQ(row.hovered(), 2);
    shot(row, "mode-row-hover");
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&row, &leave);
    EXPECT_EQ(row.hovered(), std::nullopt);
}

// Blocked variant: "another program" for no holder, names of 33 characters or more cut to 31 and an
// ellipsis, markup shown as typed; one line is 40 high.
TEST(SecureInputBannerTest, BlockedTexts)
{
    SecureInputBanner none("", false);
    EXPECT_EQ(none.text(), "🔒 Paused while another program holds the keyboard.");
    EXPECT_EQ(none.width(), 300);
    shot(none, "banner-blocked");
    EXPECT_EQ(SecureInputBanner("Ed", false).size(), QSize(300, 40));
    EXPECT_EQ(SecureInputBanner("<b>Ed</b> & Co", false).text(), "🔒 Paused while <b>Ed</b> & Co holds the keyboard.");

    const std::string thirtyTwo = "Password Manager For Teams Today";
    EXPECT_EQ(SecureInputBanner::shortName(thirtyTwo), QString::fromStdString(thirtyTwo));
    EXPECT_EQ(SecureInputBanner::shortName(thirtyTwo + "!"), QString::fromStdString(thirtyTwo.substr(0, 31) + "…"));
    std::string hebrew;  // characters, not bytes
    for (int i = 0; i < 33; ++i)
        hebrew += "א";
    EXPECT_EQ(SecureInputBanner::shortName(hebrew).size(), 32);
}

// The banner's symbols are drawn images, never emoji left to a font the desktop may lack.
TEST(SecureInputBannerTest, SymbolsAreDrawn)
{
    for (const bool stuck : {false, true}) {
        SecureInputBanner banner("Vault", stuck);
        const QString typed = banner.document().toPlainText();
        EXPECT_FALSE(typed.contains(QString::fromUtf8("🔒")) || typed.contains(QChar(0x26A0))) << typed.toStdString();
        EXPECT_TRUE(typed.contains(QChar::ObjectReplacementCharacter));
    }
}

// Stuck variant: the whole name however long, "a program" for none, and a banner taller than 40.
TEST(SecureInputBannerTest, StuckTextsGrowTheBanner)
{
    EXPECT_TRUE(SecureInputBanner("", true).text().startsWith(
        "⚠️ Keyboard held ⚠️\nA bug in a program left the keyboard held"));
    const std::string longName = "A Very Long Application Name That Goes On And On";
    SecureInputBanner named(longName, true);
    EXPECT_TRUE(named.text().contains(QString::fromStdString(longName)));
    EXPECT_EQ(named.width(), 300);
    EXPECT_GT(named.height(), 40);
    const QImage picture = shot(named, "banner-stuck");
    // The red box is inset 10: reddened inside, the menu's background outside.
    EXPECT_EQ(picture.pixelColor(5, 20), named.palette().color(QPalette::Window));
    EXPECT_LT(picture.pixelColor(14, 20).green(), picture.pixelColor(5, 20).green());
}

// The stuck variant's title is 12.5 semibold over a 12 regular body.
TEST(SecureInputBannerTest, StuckTitleAndBodyFonts)
{
    SecureInputBanner banner("Vault", true);
    const QTextBlock title = banner.document().begin();
    const QFont titleFont = title.begin().fragment().charFormat().font();
    EXPECT_DOUBLE_EQ(titleFont.pointSizeF(), Typography::font(12.5).pointSizeF());
    EXPECT_EQ(titleFont.weight(), QFont::DemiBold);
    const QFont bodyFont = title.next().begin().fragment().charFormat().font();
    EXPECT_DOUBLE_EQ(bodyFont.pointSizeF(), Typography::font(12).pointSizeF());
    EXPECT_EQ(bodyFont.weight(), QFont::Normal);
}

}  // namespace
}  // namespace kx::test
