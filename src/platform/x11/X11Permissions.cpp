#include "platform/x11/X11Permissions.h"

#include "platform/x11/A11yStatusWatch.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/XConnection.h"

namespace kx::platform::x11 {

namespace {

// At launch the session is still reaching the bus; the first answer waits for it.
constexpr double firstAttemptWait = 4.0;

}  // namespace

X11Permissions::X11Permissions(QDBusConnection sessionBus)
    : m_bus(std::move(sessionBus)), m_enabled(std::make_unique<A11yStatusWatch>(m_bus))
{
    if (const auto display = openDisplay()) {
        m_missingExtensions = missingExtensions(display.get());
        m_inputMonitoring = m_missingExtensions.empty();
    }
}

X11Permissions::X11Permissions(AtspiSession& atspi, QDBusConnection sessionBus) : X11Permissions(std::move(sessionBus))
{
    m_atspi = &atspi;
}

X11Permissions::~X11Permissions() = default;

bool X11Permissions::isGranted(Permission permission)
{
    if (permission == Permission::inputMonitoring)
        return m_inputMonitoring;
    if (!m_bus.isConnected() || !m_enabled->enabled())
        return false;
    return !m_atspi || m_atspi->connected(firstAttemptWait);
}

bool X11Permissions::request(Permission permission)
{
    if (permission == Permission::accessibility && !m_askedToEnable && m_bus.isConnected()) {
        m_askedToEnable = true;
        m_enabled->enable();
    }
    return isGranted(permission);
}

std::vector<std::string> X11Permissions::missingParts(Permission permission)
{
    return permission == Permission::inputMonitoring ? m_missingExtensions : std::vector<std::string>{};
}

}  // namespace kx::platform::x11
