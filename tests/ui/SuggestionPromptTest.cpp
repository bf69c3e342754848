// The suggestion prompt: where it goes beside the pointer, when a click counts as on it, its
// fades, and the click handler it calls.

#include "UiTestSupport.h"

#include "ui/SuggestionPrompt.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace kx::test {
namespace {

const QSize size(104, 28);
// A 1920 x 1080 display with a 27-high panel at the top.
const SuggestionPrompt::Screen left{QRect(0, 0, 1920, 1080), QRect(0, 27, 1920, 1053)};
// A second display to its right, with a dock of 24 at the bottom.
const SuggestionPrompt::Screen right{QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1000)};

// Up and to the right of the pointer, 4 inside the available area of the pointer's own display.
TEST(SuggestionPromptPlacementTest, StaysInsideThePointersScreen)
{
    EXPECT_EQ(SuggestionPrompt::placement({500, 500}, size, {left, right}, left.available), QPoint(514, 500 - 14 - 28));
    // Near the right edge: the right edge sits 4 inside.
    EXPECT_EQ(SuggestionPrompt::placement({1900, 500}, size, {left, right}, left.available).x(), 1920 - 104 - 4);
    // Near the top: under the panel, not above the pointer.
    EXPECT_EQ(SuggestionPrompt::placement({500, 30}, size, {left, right}, left.available).y(), 27 + 4);
    // On the second display, clamped to its area rather than the main one's.
    EXPECT_EQ(SuggestionPrompt::placement({3190, 500}, size, {left, right}, left.available).x(), 3200 - 104 - 4);
    EXPECT_EQ(SuggestionPrompt::placement({3000, 10}, size, {left, right}, left.available).y(), 4);
}

// A point on no screen is clamped to the main screen's area; with no screen at all it is not clamped.
TEST(SuggestionPromptPlacementTest, PointOffEveryScreen)
{
    EXPECT_EQ(SuggestionPrompt::placement({5000, 3000}, size, {left, right}, left.available),
              QPoint(1920 - 104 - 4, 1080 - 28 - 4));
    EXPECT_EQ(SuggestionPrompt::placement({5000, 3000}, size, {}, std::nullopt), QPoint(5014, 3000 - 42));
    // An area too small for the prompt: the top and right edges win.
    const SuggestionPrompt::Screen tiny{QRect(0, 0, 100, 20), QRect(0, 0, 100, 20)};
    EXPECT_EQ(SuggestionPrompt::placement({50, 10}, size, {tiny}, std::nullopt), QPoint(100 - 104 - 4, 4));
}

// Nothing is built before the first show; then the panel fades in, and a click counts as on it only
// once it is visible enough, and only within it.
TEST(SuggestionPromptTest, ContainsOnceFadedIn)
{
    SuggestionPrompt prompt;
    prompt.hide();
    EXPECT_FALSE(prompt.contains({0, 0}));
    prompt.show({400, 400});
    QWidget* panel = prompt.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->height(), 28);
    EXPECT_GE(panel->width(), 104);
    const QPointF inside = QRectF(panel->frameGeometry()).center();
    EXPECT_FALSE(prompt.contains({inside.x(), inside.y()}));  // still at alpha 0

    runFor(200);
    EXPECT_DOUBLE_EQ(panel->windowOpacity(), 1.0);
    EXPECT_TRUE(prompt.contains({inside.x(), inside.y()}));
    const QRect frame = panel->frameGeometry();
    EXPECT_TRUE(prompt.contains({double(frame.left()), double(frame.top())}));
    EXPECT_FALSE(prompt.contains({double(frame.left() + frame.width()), inside.y()}));
    EXPECT_FALSE(prompt.contains({inside.x(), double(frame.top() - 1)}));
    shot(*panel, "prompt");

    prompt.hide();
    runFor(200);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(prompt.contains({inside.x(), inside.y()}));
    // A later hide after the fade-out finished does nothing; a later show reuses the panel.
    prompt.hide();
    prompt.show({600, 600});
    EXPECT_EQ(prompt.panel(), panel);
}

/// The contrast ratio of two opaque colours by their relative luminance.
double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Both texts on the capsule, "Swap" and the hot key after the divider, read at 4.5:1 against it:
// measured on the drawn pixels, each text's strongest ink against the capsule's colour.
TEST(SuggestionPromptTest, TextsStandOutFromTheCapsule)
{
    SuggestionPrompt prompt;
    prompt.show({400, 400});
    runFor(200);
    const QImage drawn = prompt.panel()->grab().toImage();
    const QColor capsule = drawn.pixelColor(drawn.width() / 2, 2);
    // The divider: a column of white at 0.3 over the capsule, which no letter's edge keeps for long.
    const QColor faint = QColor::fromRgbF(float(capsule.redF() + (1 - capsule.redF()) * 0.3),
                                          float(capsule.greenF() + (1 - capsule.greenF()) * 0.3),
                                          float(capsule.blueF() + (1 - capsule.blueF()) * 0.3));
    const auto isDivider = [&](int x) {
        for (int y = drawn.height() / 2 - 4; y <= drawn.height() / 2 + 4; ++y) {
            const QColor c = drawn.pixelColor(x, y);
            if (std::abs(c.red() - faint.red()) > 4 || std::abs(c.blue() - faint.blue()) > 4)
                return false;
        }
        return true;
    };
    int divider = -1;
    for (int x = 0; x < drawn.width() && divider < 0; ++x)
        if (isDivider(x))
            divider = x;
    ASSERT_GT(divider, 0);
    const auto strongest = [&](int from, int to) {
        double best = 1;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = from; x < to; ++x)
                // Past the rounded corners, where the window is see-through.
                if (const QColor c = drawn.pixelColor(x, y); c.alpha() == 255)
                    best = std::max(best, contrast(c, capsule));
        return best;
    };
    EXPECT_GE(strongest(0, divider - 1), 4.5) << "Swap";
    EXPECT_GE(strongest(divider + 2, drawn.width()), 4.5) << "the hot key";
    shot(*prompt.panel(), "prompt-contrast");
    prompt.hide();
    runFor(200);
}

// A show that arrives while the prompt fades out keeps it on screen.
TEST(SuggestionPromptTest, ShowDuringFadeOutStaysVisible)
{
    SuggestionPrompt prompt;
    prompt.show({400, 400});
    runFor(200);
    prompt.hide();
    runFor(30);
    prompt.show({420, 420});
    runFor(300);
    EXPECT_TRUE(prompt.panel()->isVisible());
    EXPECT_DOUBLE_EQ(prompt.panel()->windowOpacity(), 1.0);
}

// A press anywhere on the panel runs the handler set at that moment.
TEST(SuggestionPromptTest, ClickRunsTheCurrentHandler)
{
    SuggestionPrompt prompt;
    int first = 0, second = 0;
    prompt.onClick = [&] { ++first; };
    prompt.show({400, 400});
    click(*prompt.panel(), {5, 5});
    prompt.onClick = [&] { ++second; };
    click(*prompt.panel(), {100, 25});
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(prompt.panel()->isVisible());  // the controller hides it, not the click
}

}  // namespace
}  // namespace kx::test
