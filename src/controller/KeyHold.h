#pragma once
// The user's keys held back while a rewrite is typed, and their replay. From the moment a rewrite
// is decided until its last held key has been typed again, the desktop keeps the user's keys from
// the applications; the hold ends only after a barrier through the desktop shows that no key it
// took before then is still on its way to us, so every key lands once and in typing order.
// Main thread only.

#include "platform/EventTap.h"
#include "platform/KeyStroke.h"
#include "platform/MainQueue.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kx {

/// A key held back, and the input source it was typed in (-1: not known).
struct HeldKey {
    KeyStroke stroke;
    int sourceHandle = -1;
};

class KeyHold {
public:
    /// Keys kept at most; the next one goes through at once.
    static constexpr std::size_t limit = 24;
    /// With keys held this long and no rewrite being posted, they are let go anyway.
    static constexpr double watchdogDelay = 2.0;

    /// Types the held keys again, in order, and returns the ones it left untyped because a key
    /// started another rewrite; those stay held for it.
    using Replay = std::function<std::vector<HeldKey>(std::vector<HeldKey>)>;

    /// expired runs when the watchdog gives up waiting for the end of the rewrite.
    KeyHold(MainQueue& main, std::function<void()> expired);

    /// The desktop's tap, once installed; null before.
    void attach(platform::EventTap* tap) { m_tap = tap; }

    /// A rewrite is decided: the desktop holds the user's keys from now on.
    void begin();
    /// Keeps key for the replay; false when the hold is full.
    bool take(HeldKey key);
    /// The text of a key that reached the application before the hold and is removed ahead of the
    /// rewrite, to be typed again with the held keys.
    void takeBack(const std::string& typed) { m_takenBack += typed; }
    const std::vector<HeldKey>& keys() const { return m_keys; }
    const std::string& takenBack() const { return m_takenBack; }

    /// A rewrite is queued for typing (until rewriteTyped): the watchdog waits for it, and a key
    /// that reaches the application early can no longer be taken back ahead of it.
    void rewriteQueued();
    void rewriteTyped();
    bool rewriteQueuedOrTyping() const { return m_rewritesInFlight > 0; }
    /// A key of the user's went on to the application (not held).
    void passed() { ++m_passed; }
    /// A key the desktop kept back goes on to the application. One taken in the instant the
    /// keyboard was let go reaches us only after that, and is handed on later than a key typed
    /// after it, which goes straight to the application: the keyboard is held again, so that the
    /// keys after it wait their turn, and let go again once no key is on its way.
    void keptBack();

    /// Ends the hold: once every key the desktop took so far has come through take(), the held
    /// keys go to replay; unless a replayed key began another rewrite, the desktop then lets the
    /// keyboard go and released runs. A second call while the first waits for its barrier does
    /// nothing.
    void release(Replay replay, std::function<void()> released);

private:
    void armWatchdog();
    void letGo(int begins, const std::function<void()>& released);

    MainQueue& m_main;
    std::function<void()> m_expired;
    platform::EventTap* m_tap = nullptr;
    std::vector<HeldKey> m_keys;
    std::string m_takenBack;
    int m_rewritesInFlight = 0;
    bool m_releasing = false;
    bool m_keyboardHeld = false;
    int m_begins = 0;
    int m_passed = 0;
    std::unique_ptr<TimerHandle> m_watchdog;
    std::shared_ptr<char> m_life = std::make_shared<char>();
};

}  // namespace kx
