// The windows' sizes follow the desktop: text in proportion to the desktop's font, the hand-drawn
// controls around their larger titles, and a window fitted into a screen smaller than it wants.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "SettingsTestSupport.h"

#include "ui/ModeSelectorRow.h"
#include "ui/RootView.h"
#include "ui/SuggestionPrompt.h"
#include "ui/SwitchButton.h"
#include "ui/ToggleMenuRow.h"
#include "ui/Typography.h"
#include "ui/WindowPlacement.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace kx::test {
namespace {

/// The desktop's font made larger for one test, and put back after it.
class LargerText : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFont larger = m_usual;
        larger.setPointSizeF(18);
        QApplication::setFont(larger);
    }
    void TearDown() override { QApplication::setFont(m_usual); }

    const QFont m_usual = QApplication::font();
};

// Body text is the desktop's font; the other sizes keep their proportion to it.
TEST_F(LargerText, SizesFollowTheDesktopFont)
{
    EXPECT_DOUBLE_EQ(Typography::font(Typography::body).pointSizeF(), 18);
    EXPECT_DOUBLE_EQ(Typography::font(Typography::caption).pointSizeF(), 18 * 10.0 / 13);
    EXPECT_EQ(Typography::font(Typography::body, QFont::DemiBold).weight(), QFont::DemiBold);
    const double body = QFontInfo(Typography::font(Typography::body)).pixelSize();
    EXPECT_DOUBLE_EQ(Typography::scaled(22), 22 * body / 13);
}

// With the usual font the controls keep their sizes; larger text never makes them smaller.
TEST_F(LargerText, ScaledLengthsNeverShrink)
{
    QApplication::setFont(QFont(m_usual.family(), 6));
    EXPECT_DOUBLE_EQ(Typography::scaled(22), 22);
    EXPECT_EQ(SwitchButton(QStringLiteral("Sound")).sizeHint(), QSize(38, 22));
    EXPECT_EQ(ModeSelectorRow::rowWidth(), 300);
    EXPECT_EQ(ModeSelectorRow::rowHeight(), 36);
}

// The mode selector's segments, the tab buttons, the switches and the menu rows hold their larger
// titles whole.
TEST_F(LargerText, ControlsGrowAroundTheirTitles)
{
    const QFontMetricsF selected(ModeSelectorRow::titleFont(true));
    ModeSelectorRow row(CorrectionMode::automatic);
    for (int i = 0; i < 3; ++i)
        EXPECT_GE(row.segmentRect(i).width(),
                  selected.horizontalAdvance(ModeSelectorRow::title(ModeSelectorRow::modes[i])));
    EXPECT_GE(row.trackRect().height(), selected.height());
    EXPECT_GE(row.height(), int(row.trackRect().height()));

    SettingsBench bench;
    RootView::Model model(RootView::Tab::general);
    RootView view(model, bench.context(), {});
    for (RootView::TabButton* button : view.visibleTabButtons()) {
        EXPECT_GE(button->width(), QFontMetrics(RootView::TabButton::titleFont()).horizontalAdvance(button->text()));
        EXPECT_GE(button->height(), QFontMetrics(RootView::TabButton::titleFont()).height() + 17);
    }

    EXPECT_GT(SwitchButton(QStringLiteral("Sound")).sizeHint().height(), 22);
    EXPECT_GT(ToggleMenuRow(QStringLiteral("Swap in Text Editor"), QStringLiteral("inserts via paste"), {}, true, false)
                  .height(),
              40);

    // The prompt by the pointer holds its larger "Swap" and hot key whole.
    SuggestionPrompt prompt;
    prompt.show({400, 400});
    const QWidget* panel = prompt.panel();
    const QFontMetrics swap(Typography::font(Typography::body, QFont::DemiBold));
    const QFontMetrics key(Typography::font(Typography::callout));
    EXPECT_GT(panel->width(), swap.horizontalAdvance("Swap") + key.horizontalAdvance("Ctrl+Alt+K"));
    EXPECT_GT(panel->height(), swap.height());
    EXPECT_GT(panel->height(), 28);
    prompt.hide();
}

// A window that wants more than the screen has gets what fits, frame included, centred; a
// resizable one may also be made that small, and one the screen can hold keeps its size.
TEST(WindowPlacementTest, FitsTheScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize room = WindowPlacement::room(area);
    const QMargins frame = WindowPlacement::assumedFrame;

    QWidget large;
    large.setMinimumSize(area.size());
    WindowPlacement::fit(large, area.size() * 2, true);
    EXPECT_EQ(large.size(), room);
    EXPECT_LE(large.minimumWidth(), room.width());
    EXPECT_LE(large.minimumHeight(), room.height());
    EXPECT_TRUE(area.contains(QRect(large.pos(), room.grownBy(frame))));

    QWidget small;
    WindowPlacement::fit(small, QSize(300, 200), false);
    EXPECT_EQ(small.size(), QSize(300, 200));
    EXPECT_EQ(small.minimumSize(), small.maximumSize()) << "a fixed size";
    const QRect outer(small.pos(), small.size().grownBy(frame));
    EXPECT_LE(std::abs(outer.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(outer.center().y() - area.center().y()), 1);
}

}  // namespace
}  // namespace kx::test
