#pragma once
// A rewrite in progress: whether one is being typed, the user's keys held meanwhile, our own
// layout switch made among them, and the swap sound that waits for the keyboard to be let go.
// Main thread only.

#include "controller/KeyHold.h"
#include "platform/MainQueue.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kx {

class Actuation {
public:
    /// watchdog runs when the keys have been held too long: it must end the actuation.
    Actuation(MainQueue& main, std::function<void()> watchdog);

    void attach(platform::EventTap* tap) { m_hold.attach(tap); }
    /// A rewrite (or an undo) is being typed.
    bool active() const { return m_active; }
    /// An actuation starts: the user's keys are held from now until release().
    void begin();
    /// Once the desktop has handed over every key it took, the actuation ends and replay types
    /// the held keys again (returning those left for another rewrite one of them began); then
    /// released is told whether the swap sound is due, and our switch among the keys is forgotten.
    void release(KeyHold::Replay replay, std::function<void(bool swapSoundDue)> released);
    /// Whether the swap sound plays once the keyboard is let go: never while it is held.
    void setSwapSoundDue(bool due) { m_swapSoundDue = due; }

    /// Our own switch from the input source from to to while keys are held.
    void ownSwitch(int from, int to);
    /// The desktop placed the switch to handle among the keys: the keys held until now came before it.
    void switchPlaced(int handle);
    /// The input source held key number index goes out in: a key typed before our own switch,
    /// in the layout it left, was meant for the new one; any other in the one it was typed in.
    int replayHandle(std::size_t index, const HeldKey& key) const;

    /// Keeps a key of the user's for the replay; false when the hold is full.
    bool holdKey(HeldKey key) { return m_hold.take(key); }
    /// A key of the user's went on to the application; keptBack: the desktop had kept it back.
    void keyPassed(bool keptBack);
    /// The text typed by a key that reached the application before the hold is removed ahead of
    /// the rewrite and typed again with the held keys; false while a rewrite is queued or typed,
    /// as the key's Backspaces could no longer come before it.
    bool takeBack(const std::string& typed);
    /// A rewrite is queued for typing, until rewriteTyped().
    void rewriteQueued() { m_hold.rewriteQueued(); }
    void rewriteTyped() { m_hold.rewriteTyped(); }

    const KeyHold& hold() const { return m_hold; }

private:
    /// Our own switch while the keys are held (until the keyboard is let go): the input sources
    /// it went from and to, and how many keys were held when it was made; placed: counted where
    /// the desktop says the switch fell among the keys, which a key typed just before it may
    /// reach us after.
    struct HoldSwitch {
        int from = -1;
        int to = -1;
        std::size_t keysBefore = 0;
        bool placed = false;
    };

    KeyHold m_hold;
    bool m_active = false;
    bool m_swapSoundDue = false;
    std::optional<HoldSwitch> m_switch;
};

}  // namespace kx
