#pragma once
// Secure input on X11: on while the focused element is a password field (told by AT-SPI), or while
// another client holds the keyboard grabbed (a password prompt or screen lock grabs it for as long
// as it asks; one that crashed mid-grab leaves it held). The grab of this process's own menus,
// its chord grabs and its own hold of the keyboard during a rewrite are never Secure Input.
//
// Nobody waits here for the accessibility bus: the focus is looked up on the session's thread and
// its answer comes back to the main thread as an event. The server tells, through a connection of
// our own, when another window comes to the front or the keyboard focus moves to another window;
// from then until the look-up started after it has come back, the field is unknown. An application
// that has just come to the front registers on the bus a moment after its window shows, so for a
// second it is looked up again until it has. Each key has the focus looked up again for the keys
// after it (a field that gets the focus inside the same window tells nothing), and the grab probed
// when the last probe is half a second old (one round trip to the X server).

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

    /// unknown from a move of the focus told by the server until its look-up came back; else what
    /// the last look-up and the last probes found. Never waits for the bus.
    Field fieldAtKey() override;
    void onFocusAnswered(std::function<void(Field)> answered) override;
    /// What the last look-up and the last probes found (off while the focus is unknown, unless a
    /// grab is held); asks for the focus again. Never waits for the bus.
    bool isEnabled() override;
    /// isEnabled() while something was on at the last question, or for a few seconds after the
    /// server told of a change; else off, without a question to the server or the bus.
    bool isEnabledPolled() override;
    /// The server told of a change a few seconds ago: the polled check still asks the server and
    /// the bus. Reads what the server told first.
    bool settling();
    /// The password field's application, else the front application (a grab's holder is not told
    /// by the server; the prompt that grabs is the window in front); none when the last
    /// isEnabled() found it off. Asks the bus nothing.
    std::optional<std::int32_t> holderPid() override;
    bool isProcessAlive(std::int32_t pid) override;

    /// Probes the grab now and has the focus looked up again.
    void refresh();
    /// The program's own grabs of the keyboard (its chords, its hold while it types a rewrite)
    /// are not Secure Input either; ours says whether the keyboard may be grabbed by us now.
    /// Main thread.
    void ignoreOwnGrabs(std::function<bool()> ours);

private:
    /// Probes whether another client holds the keyboard grabbed; one round trip to the X server.
    void probeGrab();
    /// Reads what the server told since the last question without waiting; a move of the focus
    /// makes the field unknown until it has been looked up.
    void readNotices();
    /// The window in front now (one property read); another one moves the focus.
    void readFrontWindow();
    /// Listens for the keyboard focus leaving the window that has it now.
    void followFocus();
    /// The focus moved to a field not known yet.
    void focusMoved();
    /// Has the session's thread look the focus up; pending makes the field unknown until it answers.
    void lookUp(bool pending);
    struct Answer;
    void answered(std::uint64_t number, const Answer& answer);
    Field field() const;

    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kx::platform::x11
