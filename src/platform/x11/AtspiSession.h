#pragma once
// The connection to the accessibility bus (AT-SPI 2). libatspi keeps global state and is not
// thread-safe, so every call goes through one thread of this session, which runs its own GLib
// loop for the focus events. Those events keep track of the focused element, so a read asks the
// element directly instead of searching the desktop for it.
//
// The session watches the bus as well: a bus that is not there yet (it may start after us at
// login), that goes away, or whose registry restarts leaves the session unreachable until it
// has connected again and the registry lists our listeners; the focused element is then looked
// up afresh, as focus events may have been missed meanwhile.

#include <functional>
#include <memory>
#include <set>

typedef struct _AtspiAccessible AtspiAccessible;

namespace kx::platform::x11 {

class AtspiSession {
public:
    /// What is known of the focused element without asking it.
    struct Focus {
        bool password = false;  // a password field
        int pid = 0;            // its application's process; 0 when unknown or nothing has focus
    };

    /// Starts the session's thread, which connects to the bus; never blocks. One session per
    /// process at a time: libatspi's state is global.
    AtspiSession();
    ~AtspiSession();
    AtspiSession(const AtspiSession&) = delete;
    AtspiSession& operator=(const AtspiSession&) = delete;

    /// Whether the bus can be used now, waiting at most wait seconds for the first attempt to
    /// reach it; false while it cannot (or the first attempt is still going on).
    bool connected(double wait) const;
    /// The focused element as its last focus event told; any thread, never waits. Nothing has
    /// focus while the bus cannot be used.
    Focus focus() const;
    /// The processes of the applications registered on the bus, as last looked up (about once
    /// a second); empty while the bus cannot be used. Any thread, never waits.
    std::set<int> applications() const;
    /// Runs work on the session's thread with the focused element (null when nothing has focus),
    /// each bus call there limited to callTimeout seconds. Waits at most wait seconds; false when
    /// work did not finish by then (it may still run, later: it must not refer to the caller's
    /// stack) or there is no bus.
    bool run(std::function<void(AtspiAccessible* focused)> work, double callTimeout, double wait);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kx::platform::x11
