#include "controller/KeyLayoutFollower.h"

#include <utility>

namespace kx {

KeyLayoutFollower::KeyLayoutFollower(MainQueue& main) : m_main(main) {}

void KeyLayoutFollower::ownSwitchMade()
{
    m_ownSwitchPending = true;
    // A newer switch replaces the handle, and with it the older switch's expiry.
    m_ownSwitchExpiry = m_main.timer(ownSwitchWindow, false, [this] { m_ownSwitchPending = false; });
}

KeyLayoutFollower::Notice KeyLayoutFollower::layoutChanged(int currentHandle, double now)
{
    if (currentHandle >= 0 && currentHandle != m_selectedHandle)
        m_selectedBeforeHandle = std::exchange(m_selectedHandle, currentHandle);
    if (std::exchange(m_ownSwitchPending, false))
        return Notice::ownSwitch;
    if (m_keyLayoutHandle < 0)
        return Notice::userSwitch;
    if (currentHandle >= 0 && currentHandle != m_keyLayoutHandle)
        m_userSwitchNoticedAt = now;
    else
        m_userSwitchNoticedAt.reset();
    return Notice::awaitingKey;
}

std::optional<double> KeyLayoutFollower::followKey(int sourceHandle, double now)
{
    if (sourceHandle < 0)
        return std::nullopt;
    const int before = std::exchange(m_keyLayoutHandle, sourceHandle);
    if (before < 0 || before == sourceHandle)
        return std::nullopt;
    return std::exchange(m_userSwitchNoticedAt, std::nullopt).value_or(now);
}

}  // namespace kx
