#pragma once
// Secure input on X11: on while the focused element is a password field (told by AT-SPI), or while
// another client holds the keyboard grabbed (a password prompt or screen lock grabs it for as long
// as it asks; one that crashed mid-grab leaves it held). The grab of this process's own menus, and
// its own hold of the keyboard during a rewrite, are never Secure Input.
//
// Nothing here runs by itself. The tap asks at every key: the focus is looked up and, at most twice
// a second, the grab probed. The status watch asks every 2 s, and while all is off it is answered
// from what the server told since: a new window in front, or the keyboard focus leaving or coming
// back to its window, as any grab makes it do. A field that gets the focus inside the same window
// tells nothing, so it is seen at the first key typed into it.

#include "platform/SecureInput.h"

#include <functional>
#include <memory>

namespace kx::platform {
class Workspace;
}

namespace kx::platform::x11 {

class AtspiSession;

class X11SecureInput final : public SecureInput {
public:
    /// Create and ask it on the thread that runs the Qt event loop; the grab is probed on its own
    /// connection to displayName (null: $DISPLAY).
    X11SecureInput(AtspiSession& session, const Workspace& workspace, const char* displayName = nullptr);
    ~X11SecureInput() override;
    X11SecureInput(const X11SecureInput&) = delete;
    X11SecureInput& operator=(const X11SecureInput&) = delete;

    /// What the last focus look-up and the last probes found. The first question after a pause or
    /// after another window came to the front waits for a look-up of its own (up to a second when the application in
    /// front has just come and is not on the accessibility bus yet); any question has the focus looked up again for the
    /// next one, and probes the grab when the last probe is half a second old (one round trip to the X server).
    bool isEnabled() override;
    /// isEnabled() while something was on at the last question, or for a few seconds after the
    /// server told of a change; else off, without a question to the server or the bus.
    bool isEnabledPolled() override;
    /// The password field's application, else the front application (a grab's holder is not told
    /// by the server; the prompt that grabs is the window in front); none when the last
    /// isEnabled() found it off. Asks the bus nothing.
    std::optional<std::int32_t> holderPid() override;
    bool isProcessAlive(std::int32_t pid) override;

    /// Probes the grab now and has the focus looked up again.
    void refresh();
    /// The program's own hold of the keyboard while it types a rewrite is not Secure Input
    /// either; holding says whether it is on. Main thread.
    void ignoreOwnHold(std::function<bool()> holding) { m_ownHold = std::move(holding); }

private:
    /// Probes whether another client holds the keyboard grabbed; one round trip to the X server.
    void probeGrab();
    /// Looks the focus up and waits for it (a moment more when the application in front is not on
    /// the accessibility bus yet).
    void lookUpFocusNow();
    /// Reads what the server told since the last question without waiting, and notes when any of
    /// it could change the answer.
    void readNotices();
    /// Listens for the keyboard focus leaving the window that has it now.
    void followFocus();

    struct State;
    std::unique_ptr<State> m_state;
    std::function<bool()> m_ownHold;
};

}  // namespace kx::platform::x11
