#pragma once
// The fixture of the tests that run the real executable on the test desktop: its settings, log
// and history under a home of its own, another X client to type, and probe fields in front.

#include "DesktopSession.h"
#include "KeyboardScene.h"
#include "TempFolder.h"
#include "platform/x11/X11Workspace.h"

// gtest goes first: X11 defines None, which gtest uses as a name.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kx::test {

// Qt applications speak AT-SPI only when told to; the undo reads the field through it.
inline const std::vector<std::string> qtAccessible = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"};

inline std::string fileText(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The keyboard's locked group: 0 is us, 1 is il.
inline int currentGroup()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return -1;
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    XCloseDisplay(display);
    return state.locked_group;
}

// Whether a client holds the keyboard grabbed, as the program does from the start of a rewrite to
// its end. The probe's window is never mapped: a grab on it is refused as not viewable unless
// another client has the keyboard already, so the probe never takes the keyboard itself.
inline bool keyboardGrabbed()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window probe = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, InputOnly,
                                       CopyFromParent, CWOverrideRedirect, &attributes);
    const int status = XGrabKeyboard(display, probe, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess)
        XUngrabKeyboard(display, CurrentTime);
    XCloseDisplay(display);
    return status == AlreadyGrabbed || status == GrabFrozen;
}

// The variables that keep the application's settings, log and history under home.
inline std::vector<std::string> homeVariables(const std::filesystem::path& home)
{
    return {"XDG_CONFIG_HOME=" + (home / "config").string(), "XDG_STATE_HOME=" + (home / "state").string(),
            "XDG_DATA_HOME=" + (home / "data").string()};
}

class KestrelixFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        ASSERT_TRUE(setLayouts({"us", "il"}));
        m_user = std::make_unique<OtherClient>();
        ASSERT_TRUE(m_user->ok());
        m_workspace = std::make_unique<platform::x11::X11Workspace>();
        // A user who has been through the walkthrough: its window would take the focus.
        std::filesystem::create_directories(m_home / "config/kestrelix");
        // Debug lines say when the focus of a new window has been looked up.
        std::ofstream(m_home / "config/kestrelix/defaults.json")
            << R"({"kestrelix.seenWalkthrough": true, "kestrelix.debugLogging": true})";
    }
    void TearDown() override
    {
        if (m_app > 0)
            DesktopSession::shared().stop(m_app);
        if (m_tray > 0)
            DesktopSession::shared().stop(m_tray);
    }

    std::string log() const { return fileText(m_home / "state/kestrelix/kestrelix.log"); }

    // Starts the application and waits until it says it is ready to correct and, with
    // languagesIn, until its languages are in.
    void startKestrelix(bool languagesIn = true)
    {
        // A tray, as a desktop has: without one the program shows its settings window, which
        // would take the focus from the fields typed into.
        m_tray = DesktopSession::shared().startTray();
        m_app = DesktopSession::shared().start({KX_EXECUTABLE}, homeVariables(m_home.path()));
        ASSERT_GT(m_app, 0);
        DesktopSession::waitFor(
            [&] { return !appRunning() || log().find("ready — correction mode") != std::string::npos; }, 5);
        ASSERT_TRUE(appRunning()) << "kestrelix exited (is another instance of this user running?)\n" << log();
        ASSERT_NE(log().find("ready — correction mode"), std::string::npos) << log();
        // Words typed before the languages are in are left as typed.
        if (languagesIn) {
            ASSERT_TRUE(DesktopSession::waitFor([&] { return log().find("enabled layouts = ") != std::string::npos; },
                                                30))
                << log();
        }
    }
    // Waits until the program lets go of the keyboard: its rewrite, and the pause after it, are over.
    static bool rewriteOver()
    {
        return DesktopSession::waitFor([] { return !keyboardGrabbed(); }, 3);
    }
    // Starts a probe field and waits until the window manager names it the front application,
    // since that is where the application learns what is in front. Null when it never got there.
    // Until the program has looked up the focus of a window that came to the front, what is typed
    // there is not watched: the field is ready once that answer is in.
    std::unique_ptr<TextField> frontField(const std::string& wmClass, const std::vector<std::string>& options = {})
    {
        auto field = std::make_unique<TextField>(wmClass, options, qtAccessible);
        const bool front = field->ok() && DesktopSession::waitFor(
                                              [&] {
                                                  const auto app = m_workspace->frontApplication();
                                                  return app && app->pid == field->pid();
                                              },
                                              5);
        if (!front)
            ADD_FAILURE() << "the " << wmClass << " field did not come to the front";
        // A program that cannot write its log (a full disk) says nothing: it gets the same wait.
        if (front && m_app > 0)
            DesktopSession::waitFor([&] { return focusSettledOn(field->pid()); }, 3);
        return front ? std::move(field) : nullptr;
    }
    // The program has made the field unknown for the application of process pid in front, and no
    // look-up it had pending is left: the focus may move more than once as a window opens, and
    // what is typed while one is pending goes unwatched.
    bool focusSettledOn(pid_t pid) const
    {
        const std::string text = log();
        const std::string pending = "focus look-up pending";
        return text.find(pending + ": front process " + std::to_string(pid) + "\n") != std::string::npos &&
               text.rfind("focus looked up") > text.rfind(pending);
    }
    // How many times the program's look-up of a moved focus has come back.
    std::size_t focusAnswers() const
    {
        const std::string text = log();
        std::size_t count = 0;
        for (auto at = text.find("focus looked up"); at != std::string::npos; at = text.find("focus looked up", at + 1))
            ++count;
        return count;
    }
    // Sends SIGTERM and waits for the program to end; its wait status, or none when it is still
    // running after 10 s.
    std::optional<int> quitKestrelix()
    {
        ::kill(m_app, SIGTERM);
        int status = -1;
        if (!DesktopSession::waitFor([&] { return ::waitpid(m_app, &status, WNOHANG) == m_app; }, 10))
            return std::nullopt;
        m_app = -1;
        return status;
    }
    bool appRunning()
    {
        if (m_app > 0 && ::waitpid(m_app, nullptr, WNOHANG) == m_app)
            m_app = -1;
        return m_app > 0;
    }

    TempFolder m_home{"kx-e2e"};
    std::unique_ptr<OtherClient> m_user;
    std::unique_ptr<platform::x11::X11Workspace> m_workspace;
    pid_t m_app = -1;
    pid_t m_tray = -1;
};

}  // namespace kx::test
