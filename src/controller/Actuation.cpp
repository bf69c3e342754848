#include "controller/Actuation.h"

#include <utility>

namespace kx {

Actuation::Actuation(MainQueue& main, std::function<void()> watchdog) : m_hold(main, std::move(watchdog)) {}

void Actuation::begin()
{
    m_active = true;
    m_hold.begin();
}

void Actuation::release(KeyHold::Replay replay, std::function<void(bool swapSoundDue)> released)
{
    m_hold.release(
        [this, replay = std::move(replay)](std::vector<HeldKey> held) {
            m_active = false;
            return replay(std::move(held));
        },
        [this, released = std::move(released)] {
            // A hold that a replayed key carried on into another rewrite ends only here.
            m_switch.reset();
            released(std::exchange(m_swapSoundDue, false));
        });
}

void Actuation::keyPassed(bool keptBack)
{
    m_hold.passed();
    if (keptBack)
        m_hold.keptBack();
}

bool Actuation::takeBack(const std::string& typed)
{
    if (m_hold.rewriteQueuedOrTyping())
        return false;
    m_hold.takeBack(typed);
    return true;
}

void Actuation::ownSwitch(int from, int to)
{
    m_switch = HoldSwitch{from, to, m_hold.keys().size(), false};
}

void Actuation::switchPlaced(int handle)
{
    if (m_switch && !m_switch->placed && m_switch->to == handle) {
        m_switch->keysBefore = m_hold.keys().size();
        m_switch->placed = true;
    }
}

int Actuation::replayHandle(std::size_t index, const HeldKey& key) const
{
    const bool beforeSwitch = m_switch && index < m_switch->keysBefore && key.sourceHandle == m_switch->from;
    return beforeSwitch ? m_switch->to : key.sourceHandle;
}

}  // namespace kx
