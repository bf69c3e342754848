// The program's widgets on a real X server without a compositor: the wheel, turned by the pointer as
// a user turns it, scrolls the page over a settings control without the focus and leaves the
// setting alone; the Swap prompt takes its rounded shape instead of showing black corners.

#include "DesktopSession.h"
#include "platform/x11/X11Compositor.h"
#include "ui/Compositing.h"
#include "ui/SuggestionPrompt.h"
#include "ui/WheelGuard.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>

namespace kx::test {
namespace {

// One notch of the wheel at the widget's centre: X buttons 4 (up) and 5 (down). Waits until the
// notch has done what it should (done); false when it never did.
bool turnWheel(Display* display, QWidget& widget, unsigned int button, const std::function<bool()>& done)
{
    const QPoint at = widget.mapToGlobal(widget.rect().center());
    XTestFakeMotionEvent(display, -1, at.x(), at.y(), CurrentTime);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
    return DesktopSession::waitFor(done, 5);
}

TEST(WheelGuardTest, ScrollsThePageUntilTheControlHasTheFocus)
{
    if (!DesktopSession::shared().ready())
        GTEST_SKIP() << DesktopSession::shared().why();
    Display* display = XOpenDisplay(DesktopSession::shared().display().c_str());
    ASSERT_TRUE(display);

    QScrollArea page;
    auto* form = new QWidget;
    auto* rows = new QVBoxLayout(form);
    // The window's first focus goes here, as to the settings window's tab buttons.
    auto* firstFocus = new QLineEdit;
    rows->addWidget(firstFocus);
    rows->addSpacing(300);
    auto* picker = new QComboBox;
    picker->addItems({"Glass", "Bell", "Pop", "Blow"});
    picker->setCurrentIndex(1);
    WheelGuard::install(picker);
    rows->addWidget(picker);
    rows->addSpacing(600);
    page.setWidget(form);
    page.setWidgetResizable(true);
    page.resize(300, 400);
    page.show();
    // Placed and activated by the window manager: the picker is where Qt says it is. A window mapped
    // while the window manager was still starting gets no focus; mapped again, it does.
    const auto focused = [&] { return picker->isVisible() && firstFocus->hasFocus(); };
    for (int attempt = 0; attempt < 5 && !DesktopSession::waitFor(focused, 2); ++attempt) {
        page.hide();
        page.show();
    }
    ASSERT_TRUE(focused());

    ASSERT_FALSE(picker->hasFocus());
    const int before = page.verticalScrollBar()->value();
    EXPECT_TRUE(turnWheel(display, *picker, 5, [&] { return page.verticalScrollBar()->value() > before; }))
        << "the page scrolled";
    EXPECT_EQ(picker->currentIndex(), 1) << "the setting stays";

    picker->activateWindow();
    picker->setFocus();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return picker->hasFocus(); }, 5));
    EXPECT_TRUE(turnWheel(display, *picker, 5, [&] { return picker->currentIndex() != 1; }))
        << "a focused control takes the wheel";
    EXPECT_EQ(picker->currentIndex(), 2);
    XCloseDisplay(display);
}

// Openbox composites nothing: the prompt is masked to its capsule, whose corners stay outside.
TEST(SuggestionPromptOnX11, MaskedWithoutACompositor)
{
    if (!DesktopSession::shared().ready())
        GTEST_SKIP() << DesktopSession::shared().why();
    static platform::x11::X11Compositor compositor;
    Compositing::useDesktop(&compositor);
    EXPECT_FALSE(Compositing::active());
    SuggestionPrompt prompt;
    prompt.show({300, 300});
    QWidget* panel = prompt.panel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return panel->isVisible(); }, 5));
    const QRegion mask = panel->mask();
    ASSERT_FALSE(mask.isEmpty());
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(panel->width() - 1, panel->height() - 1)));
    EXPECT_TRUE(mask.contains(QPoint(panel->width() / 2, panel->height() / 2)));
    EXPECT_TRUE(mask.contains(QPoint(panel->width() / 2, 0)));
    prompt.hide();
}

}  // namespace
}  // namespace kx::test
