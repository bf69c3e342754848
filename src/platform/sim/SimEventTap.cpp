#include "platform/sim/SimEventTap.h"

namespace kx::sim {

bool SimEventTap::install(platform::TapHandler handler)
{
    if (refusesInstall || m_handler || !handler)
        return false;
    m_handler = std::move(handler);
    m_enabled = true;
    return true;
}

void SimEventTap::enable()
{
    if (m_handler)
        m_enabled = true;
}

platform::TapVerdict SimEventTap::route(const platform::TapEvent& event)
{
    if (!m_handler || !m_enabled)
        return platform::TapVerdict::pass;
    return m_handler(event);
}

void SimEventTap::disable(platform::TapEventType reason)
{
    if (!m_handler || !m_enabled)
        return;
    m_enabled = false;
    m_handler(platform::TapEvent{.type = reason, .code = 0, .flags = 0, .marked = false, .location = {}});
}

void SimEventTap::setHolding(bool on)
{
    m_holding = on;
    if (on || m_pending.empty())
        return;
    // On a real desktop such a key would be typed after keys the user pressed later.
    if (onFault)
        onFault("the hold ended with " + std::to_string(m_pending.size()) + " key(s) still on their way");
    deliverPending();
}

void SimEventTap::afterPendingKeys(std::function<void()> then)
{
    deliverPending();
    then();
}

void SimEventTap::takeSlowly(const platform::TapEvent& event)
{
    if (m_holding)
        m_pending.push_back(event);
    else
        routeThenDeliver(event);
}

void SimEventTap::selected(int sourceHandle)
{
    const platform::TapEvent notice{.type = platform::TapEventType::layoutSelected, .sourceHandle = sourceHandle};
    if (m_pending.empty())
        route(notice);
    else
        m_pending.push_back(notice);
}

void SimEventTap::deliverPending()
{
    const std::vector<platform::TapEvent> pending = std::move(m_pending);
    m_pending.clear();
    for (const auto& event : pending)
        routeThenDeliver(event);
}

void SimEventTap::routeThenDeliver(const platform::TapEvent& event)
{
    if (route(event) == platform::TapVerdict::pass && deliverPassed && event.type == platform::TapEventType::keyDown)
        deliverPassed(event);
}

}  // namespace kx::sim
