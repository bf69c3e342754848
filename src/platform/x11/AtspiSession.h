#pragma once
// The connection to the accessibility bus (AT-SPI 2): a D-Bus connection of our own, used by one
// thread of this session, which runs its own GLib loop for the bus's signals.
//
// The session registers no event listener on the bus and asks applications only plain questions
// (AtspiObject says why): an application that counts us as an assistive client sends each key
// press and release to the registry as a blocking call before handling it. The focused element
// is looked up instead when asked: the last one found while it still has the focus, else a search
// of the active windows; while a keyboard grab leaves the application in front without an active
// window, the last one found there.
//
// The session watches the bus as well, by the bus's own signals: a bus that is not there yet (it
// may start after us at login), that goes away, or whose registry restarts leaves the session
// unreachable until it has connected again and the registry has answered for a while. Only while
// it is unreachable is the bus tried again, once a second.

#include <functional>
#include <memory>
#include <set>

typedef struct DBusConnection DBusConnection;

namespace kx::platform::x11 {

class AtspiObject;

class AtspiSession {
public:
    /// What is known of the focused element without asking it.
    struct Focus {
        bool password = false;  // a password field
        int pid = 0;            // its application's process; 0 when unknown or nothing has focus
    };

    /// Starts the session's thread, which connects to the bus; never blocks.
    AtspiSession();
    ~AtspiSession();
    AtspiSession(const AtspiSession&) = delete;
    AtspiSession& operator=(const AtspiSession&) = delete;

    /// Whether the bus can be used now, waiting at most wait seconds for the first attempt to
    /// reach it; false while it cannot (or the first attempt is still going on).
    bool connected(double wait) const;
    /// The focused element as last looked up; any thread, never waits. Nothing has focus while
    /// the bus cannot be used.
    Focus focus() const;
    /// Has the session's thread look the focused element up again; any thread, never waits.
    /// Requests made while one is still waiting are answered by that one.
    void lookUpFocus();
    /// The process of the application in front, as the window system tells (0: unknown). The
    /// focused element is looked for there first, and one found before in another process no
    /// longer counts: an application that lost the front may take a moment to say it lost the
    /// focus. Any thread, never waits.
    void setFrontProcess(int pid);
    /// The process last given to setFrontProcess(); any thread, never waits.
    int frontProcess() const;
    /// The processes of the applications registered on the bus, as last looked up; empty while
    /// the bus cannot be used. Any thread, never waits.
    std::set<int> applications() const;
    /// Whether the application of process pid was registered on the bus, this one or one that went
    /// away before it, and is not among applications() now: it may still be on a bus that died,
    /// where its focus cannot be seen, and it is known again only when it registers here. Any
    /// thread, never waits.
    bool leftTheBus(int pid) const;
    /// Has the session's thread look the registered applications up again, unless it did less
    /// than a second ago; any thread, never waits.
    void lookUpApplications();
    /// Looks the registered applications up now, waiting at most wait seconds; what
    /// applications() then gives.
    std::set<int> applicationsNow(double wait);
    /// Runs work on the session's thread with the bus and the focused element, looked up now (null
    /// when nothing has focus); each bus call is to be limited to timeoutMs, as the look-up's are
    /// (callTimeout seconds). Waits at most wait seconds; false when work did not finish by then
    /// (it may still run, later: it must not refer to the caller's stack) or there is no bus.
    using Work = std::function<void(DBusConnection* bus, const AtspiObject* focused, int timeoutMs)>;
    bool run(Work work, double callTimeout, double wait);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kx::platform::x11
