#pragma once
// Secure input on X11: on while the focused element is a password field (told by AT-SPI), or while
// another client holds the keyboard grabbed (a password prompt or screen lock grabs it for as long
// as it asks; one that crashed mid-grab leaves it held). The grab of this process's own menus, and
// its own hold of the keyboard during a rewrite, are never Secure Input.

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
    /// Create it on the thread that runs the Qt event loop: refresh() runs there twice a second;
    /// the grab is probed on its own connection to displayName (null: $DISPLAY).
    X11SecureInput(AtspiSession& session, const Workspace& workspace, const char* displayName = nullptr);
    ~X11SecureInput() override;
    X11SecureInput(const X11SecureInput&) = delete;
    X11SecureInput& operator=(const X11SecureInput&) = delete;

    /// Reads what the focus events and the last probes found; never waits.
    bool isEnabled() override;
    /// The password field's application, else the front application (a grab's holder is not told
    /// by the server; the prompt that grabs is the window in front).
    std::optional<std::int32_t> holderPid() override;
    bool isProcessAlive(std::int32_t pid) override;

    /// Probes the grab now, as the timer does, and has a password field's focus checked again (an
    /// application that quits tells nothing).
    void refresh();
    /// The program's own hold of the keyboard while it types a rewrite is not Secure Input
    /// either; holding says whether it is on. Main thread.
    void ignoreOwnHold(std::function<bool()> holding) { m_ownHold = std::move(holding); }

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::function<bool()> m_ownHold;
};

}  // namespace kx::platform::x11
