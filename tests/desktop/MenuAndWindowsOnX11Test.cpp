// The tray menu and the windows on a real X server: the menu stays open while the Secure Input
// watch probes for keyboard grabs (its own grab is never Secure Input), and a window that vanished
// (the walkthrough, closed) is no error for the log.

#include "DesktopSession.h"
#include "ScopedLog.h"
#include "TempFolder.h"
#include "controller/SecureInputWatch.h"
// Before Qt, whose "slots" keyword the observable's code would meet.
#include "onboarding/WalkthroughWindow.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/QtMainQueue.h"
#include "platform/x11/QtPasteboard.h"
#include "platform/x11/X11Permissions.h"
#include "platform/x11/X11SecureInput.h"
#include "platform/x11/X11Workspace.h"
#include "platform/x11/XErrors.h"
#include "ui/TrayStatusItem.h"

#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <unistd.h>

namespace kx::test {
namespace {

class MenuAndWindowsOnX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
    }

    TempFolder folder{"kx-tray-menu"};
    ScopedLog log{folder / "kestrelix.log"};
};

// The menu opened from the tray stays open through two refreshes of the watch, 2 s apart, each
// probing the keyboard grab, as in the program: the menu's grab is not Secure Input, no banner is
// pushed in, and the refreshes leave the open menu in place.
TEST_F(MenuAndWindowsOnX11Test, StaysOpenWhileTheSecureInputWatchRuns)
{
    platform::x11::AtspiSession atspi;
    platform::x11::X11Workspace workspace;
    platform::x11::X11SecureInput secureInput(atspi, workspace);
    platform::x11::QtMainQueue mainQueue;
    SecureInputWatch watch(secureInput, workspace, mainQueue);
    RuntimeStatus status;

    TrayStatusItem tray;
    const auto menuState = [&] {
        return StatusMenuState{.accessibility = true,
                               .inputMonitoring = true,
                               .secureInputActive = watch.active(),
                               .secureInputHolder = watch.holder(),
                               .layouts = {{"us", "English (US)", "en", true}, {"il", "Hebrew", "he", true}},
                               .currentLayoutID = "us"};
    };
    tray.onMenuNeedsUpdate = [&] { tray.setMenu(StatusMenu::build(menuState())); };
    QTimer refresh;
    int refreshes = 0;
    QObject::connect(&refresh, &QTimer::timeout, [&] {
        ++refreshes;
        watch.refresh(status, CorrectionMode::automatic, true);
        tray.setMenu(StatusMenu::build(menuState()));
    });
    refresh.start(2000);

    tray.menu().popup({200, 200});
    ASSERT_TRUE(DesktopSession::waitFor([&] { return tray.menu().isVisible(); }, 5));
    QAction* first = tray.menu().actions().front();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return refreshes >= 2 || !tray.menu().isVisible(); }, 10));
    EXPECT_TRUE(tray.menu().isVisible()) << "closed after " << refreshes << " refreshes";
    EXPECT_FALSE(secureInput.isEnabled());
    EXPECT_FALSE(status.secureInputActive);
    EXPECT_EQ(tray.menu().actions().front(), first) << "not rebuilt while open";
    EXPECT_EQ(log.text().find("secure input ON"), std::string::npos) << log.text();
    tray.menu().hide();
}

// The walkthrough is shown and closed while the workspace keeps reading the front window, as the
// controller does at every key and menu: reading a window that has just gone writes no X error.
TEST_F(MenuAndWindowsOnX11Test, NoXErrorsAfterTheWalkthroughCloses)
{
    platform::x11::X11Workspace workspace;
    platform::x11::QtMainQueue mainQueue;
    platform::x11::X11Permissions permissions;
    platform::x11::QtPasteboard pasteboard;
    MemoryDefaults defaults;
    PageOpener pages(workspace, pasteboard, nullptr);
    WalkthroughWindow walkthrough(mainQueue, permissions, pages, defaults);
    QTimer reading;
    int reads = 0;
    QObject::connect(&reading, &QTimer::timeout, [&] {
        ++reads;
        (void)workspace.frontApplication();
        (void)workspace.runningApplications();
    });
    reading.start(20);
    // The window manager lists the window among the clients it manages until it has let go of it.
    const auto managed = [&] {
        return std::ranges::any_of(workspace.runningApplications(),
                                   [](const platform::RunningApplication& app) { return app.pid == ::getpid(); });
    };

    walkthrough.show();
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return workspace.frontApplication().value_or(platform::RunningApplication{}).pid == ::getpid(); }, 10));
    walkthrough.window()->close();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !managed(); }, 10));
    // The reads go on over what the window left behind.
    const int readsAtClose = reads;
    ASSERT_TRUE(DesktopSession::waitFor([&] { return reads >= readsAtClose + 5; }, 5));
    EXPECT_EQ(log.text().find("x11: error"), std::string::npos) << log.text();
}

// An error about a window that is gone (its property read after it closed) stays out of the log;
// another error about the same request still reaches it.
TEST_F(MenuAndWindowsOnX11Test, VanishedWindowIsNoError)
{
    Display* display = XOpenDisplay(DesktopSession::shared().display().c_str());
    ASSERT_TRUE(display);
    platform::x11::installXErrorHandler();
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, window);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, XA_WM_NAME, 0, 64, False, AnyPropertyType, &type, &format, &count, &after,
                       &data);
    XSync(display, False);
    EXPECT_EQ(log.text().find("x11: error"), std::string::npos) << log.text();

    XGetWindowProperty(display, DefaultRootWindow(display), static_cast<Atom>(0x7FFFFFF), 0, 64, False, AnyPropertyType,
                       &type, &format, &count, &after, &data);
    XSync(display, False);
    EXPECT_NE(log.text().find("x11: error 5 "), std::string::npos) << "BadAtom is still a fault: " << log.text();
    XCloseDisplay(display);
}

}  // namespace
}  // namespace kx::test
