#pragma once
// The one connection through which the program grabs and posts keys. The tap's grabs and the
// poster's keys share one client on purpose: the poster lets go of the tap's hold grab for exactly
// the length of its own events (an active grab also catches its owner's XTEST events), and XRecord
// shows both under one client id, which is how our own events are told from the user's.

#include "platform/x11/KeyMapping.h"
#include "platform/x11/XConnection.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <utility>
#include <vector>

namespace kx::platform::x11 {

class X11Keyboard {
public:
    /// Null, with a log line, when there is no display or XKB, XTEST or RECORD is missing.
    static std::shared_ptr<X11Keyboard> open();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;
    ~X11Keyboard();

    /// The resource-id base of this client, as XRecord names it.
    std::uint32_t clientBase() const { return m_clientBase; }
    const Extensions& extensions() const { return m_extensions; }
    /// The connection's socket, readable when the server sent us something.
    int fd() const { return m_fd; }

    /// Runs job(Display*) with the connection, one caller at a time. Any thread.
    /// Events a job's round trip read off the socket are handled after it: the socket notifier
    /// no longer sees them, and a chord press among them would wait unanswered.
    template <typename Job>
    decltype(auto) with(Job&& job)
    {
        std::lock_guard lock(m_mutex);
        struct Drain {
            X11Keyboard& keyboard;
            ~Drain() { keyboard.drainQueuedLocked(); }
        } drain{*this};
        return job(m_display.get());
    }

    /// Holds the keyboard (on) or lets it go (off): while held, every key press comes to us and
    /// none reaches an application. A hold the server refuses (another client has the keyboard)
    /// is logged and not taken. Main thread.
    void setHolding(bool on);
    bool holding() const { return m_holding; }
    /// Lets the hold go, as setHolding(false), unless a key it caught has not been handed on yet
    /// (handedOnLocked): let go then, that key would land behind the keys typed after it, which go
    /// straight to the application. True when the keyboard is free. Main thread.
    bool letGoUnlessCaught();
    /// The tap has handled the user's press of keycode at time (server milliseconds): if the hold
    /// caught it, it is no longer on its way. Call inside with().
    void handedOnLocked(unsigned keycode, std::uint32_t time);

    /// Grabs keycode with exactly these modifiers on the root window: its presses come to us and
    /// stop the keyboard until allowChordLocked() decides where they go. False, with a log line,
    /// when another program holds it. Main thread.
    bool grabChordLocked(_XDisplay* display, unsigned keycode, unsigned modifiers);
    /// A grabbed chord's press as the grab delivered it to this connection.
    struct ChordPress {
        unsigned keycode = 0;
        unsigned state = 0;
        std::uint32_t time = 0;
        std::chrono::steady_clock::time_point at;
    };
    /// Ends the stop of the keyboard at the chord press of keycode at time (server milliseconds),
    /// as its record showed it: hands it on to the focused application as it was typed (handOn),
    /// or keeps it and lets the keys after it flow. Every press of a chord must get one of the two,
    /// or the keyboard stays stopped; a press our grab never stopped at (stoppedStateLocked() gives
    /// none) gets neither, since an answer meant for it would end the stop of a later chord. Call
    /// inside with().
    void allowChordLocked(_XDisplay* display, unsigned keycode, std::uint32_t time, bool handOn);
    /// The X state of the chord press of keycode at time (server milliseconds) as its grab's event
    /// gave it, reading the connection once when that event has not come yet; none when the press
    /// did not stop the keyboard at one of our grabs. Call inside with().
    std::optional<unsigned> stoppedStateLocked(_XDisplay* display, unsigned keycode, std::uint32_t time);
    /// As allowChordLocked(), for a press overdueChordLocked() gave, decided from its grab's event
    /// before its record came; nothing when its record decided it meanwhile. Call inside with().
    void allowOverdueChordLocked(_XDisplay* display, const ChordPress& press, bool handOn);
    /// Whether the record of the chord press of keycode at time comes after its press was decided
    /// from its grab; each such press is told once. Call inside with().
    bool takeDecidedFromGrabLocked(unsigned keycode, std::uint32_t time);
    /// The oldest chord press that has stopped the keyboard for longer than after without an
    /// answer; none when every stop was answered in time. Call inside with().
    std::optional<ChordPress> overdueChordLocked(_XDisplay* display, std::chrono::milliseconds after);
    /// Whether some chord press is waiting for its answer. Call inside with().
    bool awaitingAnswerLocked() const;
    /// Called, inside with() on whichever thread read it, for each chord press that waits for an
    /// answer: another thread's read must wake the one that answers. Call inside with().
    void setUnansweredNoticeLocked(std::function<void()> notice) { m_unansweredNotice = std::move(notice); }
    /// Whether a press of keycode with this X state is one of our grabbed chords. Call inside with().
    bool isChordLocked(unsigned keycode, unsigned state) const;
    /// Lets go of every chord. Call inside with().
    void ungrabChordsLocked(_XDisplay* display);

    struct FakeKey {
        unsigned keycode = 0;
        bool down = true;
        /// For a press: the keyboard group is latched this many groups on just before it, so that
        /// the key types what it types in that group; the latch ends with the press.
        int groupLatch = 0;
    };
    using FakeKeys = std::vector<FakeKey>;
    using FakeKeysBuilder = std::function<std::optional<FakeKeys>(_XDisplay*)>;
    /// Presses and releases the keycodes build gives through XTEST, in order (with the group latch
    /// a press asks for), and waits until the
    /// server took them; false when build gives none. build runs with the server grabbed, so what
    /// it reads of the keyboard (the keys down, the modifiers) is still so when its keys go out:
    /// no other client's key comes in between. Our own grabs would catch the keys too: the hold,
    /// and a chord on the same key, are let go around them, so that they and only they reach the
    /// focused application. Call inside with().
    bool fakeLocked(_XDisplay* display, const FakeKeysBuilder& build);

    /// Presses or releases one key through XTEST, latching the group the press asks for first.
    static void fakeKey(_XDisplay* display, const FakeKey& key);

    /// Types keycode again as ours, with the modifiers of state (a grabbed key's event) that are
    /// no longer held pressed around it; locks are left as they are. Call inside with().
    void replayLocked(_XDisplay* display, unsigned keycode, unsigned state);

    /// Reads what the server sent this connection; counts the keymap changes among it and notes
    /// the presses the hold caught (the grabbed key events themselves are read from XRecord, in
    /// order). Call inside with().
    void drainLocked(_XDisplay* display);
    /// The modifier roles of the server's modifier map now. Call inside with().
    static ModifierRoles modifierRolesLocked(_XDisplay* display);
    /// Grows each time the server's keymap changed.
    unsigned keymapGeneration() const { return m_keymapGeneration; }

private:
    X11Keyboard(DisplayPtr display, const Extensions& extensions);
    bool grabLocked(_XDisplay* display);
    void drainQueuedLocked();
    static void grabKeyLocked(_XDisplay* display, unsigned keycode, unsigned modifiers);

    std::mutex m_mutex;
    DisplayPtr m_display;
    Extensions m_extensions;
    std::uint32_t m_clientBase = 0;
    int m_fd = -1;
    std::atomic<bool> m_holding = false;
    std::atomic<unsigned> m_keymapGeneration = 0;
    std::set<std::pair<unsigned, unsigned>> m_chords;  // (keycode, modifiers)
    // Chord presses delivered here and not answered yet, oldest first; and those decided from
    // their grab whose record may still come.
    std::deque<ChordPress> m_unanswered;
    std::deque<ChordPress> m_decidedFromGrab;
    std::function<void()> m_unansweredNotice;
    // Presses the hold caught and the tap has not handled yet, oldest first.
    struct CaughtPress {
        unsigned keycode = 0;
        std::uint32_t time = 0;
        std::chrono::steady_clock::time_point at;
    };
    std::deque<CaughtPress> m_caught;
};

}  // namespace kx::platform::x11
