#include "DesktopSession.h"

// gtest goes first: X11 defines None, which gtest uses as a name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <QThread>
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kx::test {

namespace {

// Reads one line from fd, waiting at most seconds in all; empty when none came.
std::string readLine(int fd, double seconds)
{
    std::string line;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        pollfd watch{fd, POLLIN, 0};
        const int left = static_cast<int>(seconds * 1000 - clock.elapsed());
        if (::poll(&watch, 1, std::max(left, 1)) <= 0)
            continue;
        char c = 0;
        if (::read(fd, &c, 1) != 1)
            break;
        if (c == '\n')
            return line;
        line += c;
    }
    return {};
}

bool windowManagerRuns(Display* display)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                       &remaining, &data);
    XFree(data);
    return count == 1;
}

}  // namespace

DesktopSession& DesktopSession::shared()
{
    static DesktopSession session;
    return session;
}

DesktopSession::DesktopSession()
{
    // The display: Xvfb picks a free number and tells it on a pipe. -noreset: without it the
    // server resets whenever its last client leaves, dropping properties and the keymap.
    // KX_TEST_SCREEN ("1280x800") sets a smaller or larger screen, as some users have.
    const char* screen = std::getenv("KX_TEST_SCREEN");
    const std::string number = startPrinting({"Xvfb", "-displayfd", "{fd}", "-noreset", "-nolisten", "tcp", "-screen",
                                              "0", std::string(screen ? screen : "1280x1024") + "x24"});
    if (number.empty()) {
        m_why = "Xvfb did not start";
        return;
    }
    m_display = ":" + number;
    ::setenv("DISPLAY", m_display.c_str(), 1);

    // The accessibility bus puts its socket in the runtime folder, else in ~/.cache by display
    // number, where another desktop of the same number (in another network namespace, or one
    // torn down meanwhile) would take or remove it.
    std::string runtime = (std::filesystem::temp_directory_path() / "kx-runtime-XXXXXX").string();
    if (!::mkdtemp(runtime.data())) {
        m_why = "cannot make a runtime folder";
        return;
    }
    m_runtimeFolder = runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    // The session bus, before anything asks for it; it starts the accessibility bus on demand
    // with this environment, so the accessibility bus finds the display too.
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    const std::string address = startPrinting({"dbus-daemon", "--session", "--nofork", "--print-address={fd}"});
    if (address.empty()) {
        m_why = "dbus-daemon did not start";
        return;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    ::unsetenv("AT_SPI_BUS_ADDRESS");

    if (spawn({"openbox", "--sm-disable"}, {}, -1) <= 0) {
        m_why = "openbox did not start";
        return;
    }
    Display* display = XOpenDisplay(m_display.c_str());
    if (!display) {
        m_why = "cannot open " + m_display;
        return;
    }
    QElapsedTimer clock;
    clock.start();
    while (!windowManagerRuns(display) && clock.elapsed() < 10000)
        QThread::msleep(20);
    const bool managed = windowManagerRuns(display);
    XCloseDisplay(display);
    if (!managed) {
        m_why = "openbox did not take the screen";
        return;
    }

    // This process's own application: on the test display, not offscreen.
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char name[] = "test_desktop";
    static char* argv[] = {name, nullptr};
    // A widgets application: the tests also open the program's menus and windows.
    new QApplication(argc, argv);
    // Ended when the tests end, not among the static destructors: Qt's own statics, made during
    // the tests, are gone by then, and the application's clean-up would touch them.
    struct EndWithTheTests : ::testing::EmptyTestEventListener {
        void OnTestProgramEnd(const ::testing::UnitTest&) override { DesktopSession::shared().end(); }
    };
    ::testing::UnitTest::GetInstance()->listeners().Append(new EndWithTheTests);
}

void DesktopSession::end()
{
    delete QCoreApplication::instance();
    // stop() takes each out of m_children: walk a copy, last started first.
    const std::vector<pid_t> children = m_children;
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        stop(*it);
    std::error_code ignored;
    if (!m_runtimeFolder.empty())
        std::filesystem::remove_all(m_runtimeFolder, ignored);
}

namespace {

// The application object goes when the tests are done, before the program exits: Qt's own
// clean-up at its end uses statics of Qt's that exit may already have destroyed.
class EndApplication : public ::testing::Environment {
public:
    void TearDown() override { delete QCoreApplication::instance(); }
};

const auto* const endApplication = ::testing::AddGlobalTestEnvironment(new EndApplication);

}  // namespace

DesktopSession::~DesktopSession()
{
    end();
}

pid_t DesktopSession::spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                            int stdoutPipe)
{
    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable)
        environment.emplace_back(*variable);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const auto& variable : environment)
        env.push_back(const_cast<char*>(variable.c_str()));
    env.push_back(nullptr);

    // fork and exec rather than posix_spawn: the child asks to be ended with this process, so a
    // test killed by its time-out leaves no server behind.
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        if (stdoutPipe >= 0)
            ::dup2(stdoutPipe, STDOUT_FILENO);
        ::execvpe(args.front(), args.data(), env.data());
        ::_exit(127);
    }
    m_children.push_back(pid);
    return pid;
}

std::string DesktopSession::startPrinting(std::vector<std::string> argv)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    for (auto& arg : argv) {
        if (const auto at = arg.find("{fd}"); at != std::string::npos)
            arg.replace(at, 4, std::to_string(out[1]));
    }
    const pid_t pid = spawn(argv, {}, -1);
    ::close(out[1]);
    const std::string line = pid > 0 ? readLine(out[0], 10) : std::string();
    ::close(out[0]);
    return line;
}

pid_t DesktopSession::start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                            bool waitForReady)
{
    if (!waitForReady)
        return spawn(argv, extraEnvironment, -1);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = spawn(argv, extraEnvironment, out[1]);
    ::close(out[1]);
    const std::string line = pid > 0 ? readLine(out[0], 15) : std::string();
    ::close(out[0]);
    if (line != "ready") {
        if (pid > 0)
            stop(pid);
        return -1;
    }
    return pid;
}

pid_t DesktopSession::startTray()
{
    const pid_t tray = start({"trayer", "--edge", "bottom", "--SetDockType", "true"});
    waitFor(
        [] {
            Display* display = XOpenDisplay(nullptr);
            if (!display)
                return false;
            const bool owned = XGetSelectionOwner(display, XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False)) != 0;
            XCloseDisplay(display);
            return owned;
        },
        10);
    return tray;
}

void DesktopSession::stop(pid_t pid)
{
    if (pid <= 0 || std::ranges::find(m_children, pid) == m_children.end())
        return;
    std::erase(m_children, pid);
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        QThread::msleep(20);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

bool DesktopSession::waitFor(const std::function<bool()>& condition, double seconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

}  // namespace kx::test
