#include "controller/KeyHold.h"

namespace kx {

KeyHold::KeyHold(MainQueue& main, std::function<void()> expired) : m_main(main), m_expired(std::move(expired)) {}

void KeyHold::begin()
{
    ++m_begins;
    m_keyboardHeld = true;
    if (m_tap)
        m_tap->setHolding(true);
}

void KeyHold::keptBack()
{
    if (m_keyboardHeld)
        return;
    m_keyboardHeld = true;
    if (m_tap)
        m_tap->setHolding(true);
    letGo(m_begins, [] {});
}

bool KeyHold::take(HeldKey key)
{
    if (m_keys.size() >= limit)
        return false;
    if (m_keys.empty())
        armWatchdog();
    m_keys.push_back(key);
    return true;
}

void KeyHold::rewriteQueued()
{
    ++m_rewritesInFlight;
}

void KeyHold::rewriteTyped()
{
    --m_rewritesInFlight;
}

void KeyHold::armWatchdog()
{
    // A newer watchdog replaces the older one's handle, which cancels it.
    m_watchdog = m_main.timer(watchdogDelay, false, [this] {
        if (m_keys.empty() || m_releasing)
            return;
        // Replaying now would put the user's keys in the middle of the rewrite.
        if (m_rewritesInFlight > 0) {
            armWatchdog();
            return;
        }
        m_expired();
    });
}

void KeyHold::release(Replay replay, std::function<void()> released)
{
    if (m_releasing)
        return;
    m_releasing = true;
    const auto done = [this, replay = std::move(replay), released = std::move(released),
                       life = std::weak_ptr<char>(m_life)] {
        if (!life.lock())
            return;
        m_releasing = false;
        m_watchdog.reset();
        m_takenBack.clear();
        std::vector<HeldKey> keys = std::move(m_keys);
        m_keys.clear();
        const int begins = m_begins;
        for (const auto& key : replay(std::move(keys)))
            take(key);
        // A replayed key that began another rewrite keeps the keyboard held for it.
        if (m_begins != begins)
            return;
        letGo(begins, released);
    };
    if (m_tap)
        m_tap->afterPendingKeys(done);
    else
        done();
}

// Keys the desktop took while the held ones were typed again come through the tap before the
// keyboard is let go, and are handed on in their turn: let go first, they would come after keys
// the user types next. Handing them on takes time, in which more may come: the keyboard is let go
// after a barrier that no key of the user's came before.
void KeyHold::letGo(int begins, const std::function<void()>& released)
{
    const int passed = m_passed;
    const auto then = [this, begins, passed, released, life = std::weak_ptr<char>(m_life)] {
        if (!life.lock() || m_begins != begins)
            return;
        if (m_passed != passed) {
            letGo(begins, released);
            return;
        }
        m_keyboardHeld = false;
        if (m_tap)
            m_tap->setHolding(false);
        released();
    };
    if (m_tap)
        m_tap->afterPendingKeys(then);
    else
        then();
}

}  // namespace kx
