// The wheel on a real X server, turned by the pointer as a user turns it: over a settings control
// without the focus it scrolls the page and leaves the setting alone.

#include "DesktopSession.h"
#include "ui/WheelGuard.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace kx::test {
namespace {

// One notch of the wheel at the widget's centre: X buttons 4 (up) and 5 (down).
void turnWheel(Display* display, QWidget& widget, unsigned int button)
{
    const QPoint at = widget.mapToGlobal(widget.rect().center());
    XTestFakeMotionEvent(display, -1, at.x(), at.y(), CurrentTime);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
    DesktopSession::waitFor([] { return false; }, 0.3);
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
    rows->addWidget(new QLineEdit);
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
    ASSERT_TRUE(DesktopSession::waitFor([&] { return page.isVisible() && picker->isVisible(); }, 5));
    DesktopSession::waitFor([] { return false; }, 0.5);

    ASSERT_FALSE(picker->hasFocus());
    const int before = page.verticalScrollBar()->value();
    turnWheel(display, *picker, 5);
    EXPECT_EQ(picker->currentIndex(), 1) << "the setting stays";
    EXPECT_GT(page.verticalScrollBar()->value(), before) << "the page scrolled";

    picker->activateWindow();
    picker->setFocus();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return picker->hasFocus(); }, 5));
    turnWheel(display, *picker, 5);
    EXPECT_EQ(picker->currentIndex(), 2) << "a focused control takes the wheel";
    XCloseDisplay(display);
}

}  // namespace
}  // namespace kx::test
