#include "platform/x11/X11Workspace.h"
#include "stores/PolicyStore.h"

#include "DesktopSession.h"
#include "TempFolder.h"

// gtest goes first: X11 defines None, which gtest uses as a name.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kx::platform::x11 {
namespace {

using test::DesktopSession;

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        std::filesystem::create_directories(m_entries.path());
        std::ofstream(m_entries / "org.example.Probe.desktop")
            << "[Desktop Entry]\nType=Application\nName=Probe Editor\nExec=probe\nStartupWMClass=KxProbe\n";
    }
    void TearDown() override
    {
        for (const pid_t pid : m_started)
            DesktopSession::shared().stop(pid);
    }

    pid_t startProbe(const std::string& wmClass)
    {
        const pid_t pid = DesktopSession::shared().start({KX_DESKTOP_PROBE, "--class", wmClass}, {}, true);
        m_started.push_back(pid);
        return pid;
    }
    std::unique_ptr<X11Workspace> makeWorkspace()
    {
        return std::make_unique<X11Workspace>(
            nullptr, std::make_unique<DesktopEntries>(std::vector{m_entries.path()}, std::string()));
    }
    // Asks the window manager to bring the window of that class to the front, as a pager does.
    static void activate(const std::string& wmClass)
    {
        DesktopSession::shared().start(
            {"xdotool", "search", "--onlyvisible", "--class", "^" + wmClass + "$", "windowactivate"});
    }
    static bool frontIs(const X11Workspace& workspace, pid_t pid)
    {
        const auto front = workspace.frontApplication();
        return front && front->pid == pid;
    }

    test::TempFolder m_entries{"kx-workspace"};
    std::vector<pid_t> m_started;
};

// The front window's application is named by its desktop entry, else by its WM_CLASS class.
TEST_F(X11WorkspaceTest, FrontApplicationIsNamed)
{
    auto workspace = makeWorkspace();
    const pid_t probe = startProbe("KxProbe");
    ASSERT_GT(probe, 0);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return frontIs(*workspace, probe); }, 10));
    const auto front = workspace->frontApplication();
    EXPECT_EQ(front->id, "org.example.Probe");
    EXPECT_EQ(front->name, "Probe Editor");
    EXPECT_EQ(front->executable.filename(), "kx_desktop_probe");

    const pid_t other = startProbe("KxOther");
    ASSERT_TRUE(DesktopSession::waitFor([&] { return frontIs(*workspace, other); }, 10));
    EXPECT_EQ(workspace->frontApplication()->id, "KxOther");
    EXPECT_EQ(workspace->frontApplication()->name, "KxOther");

    const auto running = workspace->runningApplications();
    const auto has = [&](const std::string& id, pid_t pid) {
        return std::ranges::any_of(running, [&](const auto& app) { return app.id == id && app.pid == pid; });
    };
    EXPECT_TRUE(has("org.example.Probe", probe));
    EXPECT_TRUE(has("KxOther", other));
}

// xterm under a window class of its own is a terminal the always-off list cannot name; its desktop
// entry's TerminalEmulator category names it, so the policy keeps it always off.
TEST_F(X11WorkspaceTest, TerminalUnderAnotherClassIsKnownByItsEntry)
{
    std::ofstream(m_entries / "footerm.desktop") << "[Desktop Entry]\nType=Application\nName=Foo Terminal\n"
                                                    "Exec=footerm\nStartupWMClass=Foo\n"
                                                    "Categories=System;TerminalEmulator;\n";
    auto workspace = makeWorkspace();
    const pid_t terminal = DesktopSession::shared().start({"xterm", "-class", "Foo", "-name", "foo"});
    ASSERT_GT(terminal, 0);
    m_started.push_back(terminal);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return frontIs(*workspace, terminal); }, 10));
    const auto front = workspace->frontApplication();
    EXPECT_EQ(front->id, "footerm");

    MemoryDefaults defaults;
    PolicyStore policy(defaults, *workspace,
                       std::make_shared<DesktopEntries>(std::vector{m_entries.path()}, std::string()));
    EXPECT_TRUE(policy.isAlwaysOff(front->id));
    EXPECT_FALSE(policy.isCorrectionAllowed(front->id));
}

// A GTK script run by the Python interpreter is named by its window's WM_CLASS, never by the
// interpreter's own entry, which runs it in a terminal ("Python (v3.11)" on Debian).
TEST_F(X11WorkspaceTest, ScriptIsNotNamedAfterItsInterpreter)
{
    const std::string interpreter = std::filesystem::canonical("/usr/bin/python3").filename().string();
    std::ofstream(m_entries / "debian-python.desktop")
        << "[Desktop Entry]\nType=Application\nName=Python (interpreter)\nExec=/usr/bin/" << interpreter
        << "\nTerminal=true\nNoDisplay=true\n";
    auto workspace = makeWorkspace();
    const pid_t script = DesktopSession::shared().start({"/usr/bin/python3", KX_GTK_PROBE}, {}, true);
    m_started.push_back(script);
    ASSERT_GT(script, 0);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return frontIs(*workspace, script); }, 10));
    const auto front = workspace->frontApplication();
    EXPECT_EQ(front->executable.filename(), interpreter);
    EXPECT_NE(front->name, "Python (interpreter)");
    EXPECT_FALSE(front->name.empty());
    EXPECT_EQ(front->name, front->id) << "the WM_CLASS class names it";
}

// Another application coming to the front is announced once, on the main thread's loop.
TEST_F(X11WorkspaceTest, ActivationIsAnnounced)
{
    auto workspace = makeWorkspace();
    const pid_t first = startProbe("KxProbe");
    ASSERT_TRUE(DesktopSession::waitFor([&] { return frontIs(*workspace, first); }, 10));
    std::vector<RunningApplication> notices;
    auto subscription = workspace->subscribeActivation([&](const RunningApplication& app) { notices.push_back(app); });

    // A late notice of the first may come before it.
    const pid_t second = startProbe("KxOther");
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !notices.empty() && notices.back().pid == second; }, 10));
    EXPECT_EQ(notices.back().id, "KxOther");

    // Back to the first through the window manager, as a click on its window would.
    activate("KxProbe");
    ASSERT_TRUE(DesktopSession::waitFor([&] { return notices.back().pid == first; }, 10));
    EXPECT_EQ(notices.back().id, "org.example.Probe");

    subscription.reset();
    const auto seen = notices.size();
    // A subscriber that stays hears of the activation when the one that left would have.
    std::vector<RunningApplication> staying;
    auto stays = workspace->subscribeActivation([&](const RunningApplication& app) { staying.push_back(app); });
    activate("KxOther");
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !staying.empty() && staying.back().pid == second; }, 10));
    EXPECT_EQ(notices.size(), seen) << "no notice after unsubscribing";
}

// A window of a client on another machine names its application but no process of this one.
TEST_F(X11WorkspaceTest, RemoteClientHasNoPid)
{
    auto workspace = makeWorkspace();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_TRUE(display);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 50, 0, 0, 0);
    char name[] = "remote";
    char className[] = "KxRemote";
    XClassHint hint{name, className};
    XSetClassHint(display, window, &hint);
    const std::string machine = "elsewhere.example";
    XChangeProperty(display, window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(machine.data()), static_cast<int>(machine.size()));
    const long pid = ::getpid();
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    XMapRaised(display, window);
    XSync(display, False);
    // The window manager ignores an activation that comes before it has taken the window in, which
    // a loaded machine makes likely: ask again until the window is in front.
    int attempts = 0;
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto front = workspace->frontApplication();
            if (front && front->id == "KxRemote")
                return true;
            if (attempts++ % 10 == 0)
                DesktopSession::shared().start({"xdotool", "windowactivate", std::to_string(window)});
            return false;
        },
        10));
    EXPECT_EQ(workspace->frontApplication().value_or(RunningApplication{}).pid, 0);
    XCloseDisplay(display);
}

// Texts that xdg-open would take for its own options are refused, not handed on.
TEST_F(X11WorkspaceTest, OpenRefusesOptionLikeText)
{
    auto workspace = makeWorkspace();
    EXPECT_FALSE(workspace->open("", {}));
    EXPECT_FALSE(workspace->open("--manual", {}));
}

// A page the desktop has no handler for (this session has no browser, maybe not even xdg-open) is
// reported as failed, once, on the main thread.
TEST_F(X11WorkspaceTest, OpenReportsAFailedHandler)
{
    auto workspace = makeWorkspace();
    int failures = 0;
    workspace->open("kx-no-such-scheme://page", [&] { ++failures; });
    EXPECT_EQ(failures, 0) << "never before open returns";
    EXPECT_TRUE(DesktopSession::waitFor([&] { return failures > 0; }, 15));
    // A second report of the first page would come before the report of a page opened after it.
    int laterFailures = 0;
    workspace->open("kx-no-such-scheme://other-page", [&] { ++laterFailures; });
    EXPECT_TRUE(DesktopSession::waitFor([&] { return laterFailures > 0; }, 15));
    EXPECT_EQ(failures, 1);
}

}  // namespace
}  // namespace kx::platform::x11
