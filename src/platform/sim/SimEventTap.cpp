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

}  // namespace kx::sim
