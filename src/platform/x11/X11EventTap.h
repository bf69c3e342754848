#pragma once
// The tap on X11. XRecord, on a connection of its own, shows every key and button press of every
// device in the server's order; the presses reach the handler on the main thread (a socket
// notifier of the Qt event loop), ours marked. Recording alone cannot swallow, so the keys the
// handler may swallow are grabbed beforehand: Ctrl+Alt+K, Ctrl+Alt+Z and Ctrl+Z are passive grabs
// on the root window, and while the program types a rewrite the whole keyboard is held
// (setHolding). A caught key the handler lets pass is posted again, as ours, through the poster
// (which never presses a key the user holds down); a caught modifier is not posted at all: the
// server's state already has it, and posting it would release the user's. The barrier is a
// NoOperation request of ours: XRecord shows it after every press the server took before it. The
// hold ends only once every key it caught has been handed on.

#include "platform/EventPoster.h"
#include "platform/EventTap.h"
#include "platform/x11/KeyMapping.h"
#include "platform/x11/RecordStream.h"
#include "platform/x11/X11Keyboard.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace kx::platform::x11 {

class X11EventTap final : public EventTap {
public:
    /// poster: hands on the caught keys the handler lets pass.
    X11EventTap(std::shared_ptr<X11Keyboard> keyboard, EventPoster& poster);
    X11EventTap(const X11EventTap&) = delete;
    X11EventTap& operator=(const X11EventTap&) = delete;
    ~X11EventTap() override;

    /// Needs a Qt application object (the presses come through its event loop).
    bool install(TapHandler handler) override;
    /// The X tap is never turned off by the server: nothing to do.
    void enable() override {}
    void setHolding(bool on) override;
    /// Whether a grab of the keyboard may be ours now: the hold, a chord press not answered yet, or
    /// a chord's key still down (its grab lasts until the key comes up). One round trip.
    bool ownsKeyboardGrab();
    /// Without a record of the barrier within 0.5 s (the recording stalled), then runs anyway.
    void afterPendingKeys(std::function<void()> then) override;

private:
    struct RecordContext;
    struct Recorded {
        int category = 0;
        std::uint32_t idBase = 0;
        bool swapped = false;
        std::vector<unsigned char> bytes;
    };

    bool startRecording();
    void grabChords();
    void readRecords();
    void handle(const DeviceInput& input);
    void refreshRoles();
    /// Runs the waiting barriers up to the upTo-th since the start.
    void passBarriers(std::uint64_t upTo);
    bool isModifierKey(unsigned keycode) const;
    void letGo();
    void answerOverdueChords();

    std::shared_ptr<X11Keyboard> m_keyboard;
    // Declared before the recording connection, so it outlives it: closing the connection reads
    // the records still on their way, and Xlib hands them to the batch.
    std::vector<Recorded> m_batch;
    DisplayPtr m_data;
    std::unique_ptr<RecordContext> m_context;
    std::unique_ptr<QSocketNotifier> m_dataNotifier;
    std::unique_ptr<QSocketNotifier> m_keyboardNotifier;
    std::unique_ptr<QTimer> m_answerWatch;
    RecordStream m_stream;
    ModifierRoles m_roles;
    unsigned m_rolesGeneration = 0;
    TapHandler m_handler;
    EventPoster& m_poster;
    std::deque<std::function<void()>> m_barriers;
    std::uint64_t m_barriersPassed = 0;
    std::uint64_t m_barriersRecorded = 0;
    bool m_letGoWanted = false;
};

}  // namespace kx::platform::x11
