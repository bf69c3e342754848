#pragma once
// A private X11 desktop for the desktop tests, started on first use and shared by the tests of one
// process: Xvfb on a free display, a runtime folder of its own, a D-Bus session bus (which starts
// the accessibility bus when asked), openbox as the window manager, and the process's
// QApplication on that display.
// Programs started through it get the same display and buses and are ended with the session.

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kx::test {

class DesktopSession {
public:
    /// The session, started on the first call. Check ready() before using it.
    static DesktopSession& shared();

    /// Whether everything started; otherwise why() says what did not.
    bool ready() const { return m_why.empty(); }
    const std::string& why() const { return m_why; }
    const std::string& display() const { return m_display; }

    /// Starts argv[0] (looked up in PATH) with this process's environment plus extraEnvironment
    /// ("NAME=value"). With waitForReady, waits up to 15 s for the line "ready" on its standard
    /// output; -1 when it cannot be started or never got ready.
    pid_t start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment = {},
                bool waitForReady = false);
    /// Starts a server that prints where it listens on a descriptor given on its command line: each
    /// "{fd}" in argv becomes that descriptor's number. Its first line, or empty after 10 s.
    std::string startPrinting(std::vector<std::string> argv);
    /// Ends a program started by start() or startPrinting().
    void stop(pid_t pid);
    /// Starts a tray (trayer at the bottom edge), as a desktop has one, and waits up to 10 s until
    /// it owns the tray selection; its pid, or -1 when it cannot be started.
    pid_t startTray();

    /// Runs the Qt event loop until condition holds, at most seconds; whether it held.
    static bool waitFor(const std::function<bool()>& condition, double seconds);

    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;
    ~DesktopSession();

private:
    DesktopSession();
    /// Deletes the application and ends the programs started; once.
    void end();
    pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment, int stdoutPipe);

    std::string m_why;
    std::string m_display;
    std::string m_runtimeFolder;
    std::vector<pid_t> m_children;  // in start order; ended in reverse
};

}  // namespace kx::test
