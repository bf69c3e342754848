#include "platform/x11/X11Permissions.h"

#include "platform/Log.h"
#include "platform/x11/A11yStatusWatch.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/XConnection.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariant>

namespace kx::platform::x11 {

namespace {

const QString busService = QStringLiteral("org.a11y.Bus");
const QString busPath = QStringLiteral("/org/a11y/bus");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString enabledProperty = QStringLiteral("IsEnabled");

// Asked on the GUI thread: a bus that does not answer must not hold it up.
constexpr int busTimeoutMs = 500;
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
        auto message = QDBusMessage::createMethodCall(busService, busPath, propertiesInterface, QStringLiteral("Set"));
        message << statusInterface << enabledProperty << QVariant::fromValue(QDBusVariant(true));
        const QDBusMessage reply = m_bus.call(message, QDBus::Block, busTimeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage)
            Log::line("accessibility: cannot enable it: " + reply.errorMessage().toStdString());
        m_enabled->forget();
    }
    return isGranted(permission);
}

std::vector<std::string> X11Permissions::missingParts(Permission permission)
{
    return permission == Permission::inputMonitoring ? m_missingExtensions : std::vector<std::string>{};
}

}  // namespace kx::platform::x11
