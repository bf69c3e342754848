#include "platform/x11/A11yStatusWatch.h"

#include "platform/Log.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>
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

}  // namespace

A11yStatusWatch::A11yStatusWatch(QDBusConnection bus) : m_bus(std::move(bus))
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(busService, busPath, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    // A new owner of the bus's name (the launcher restarted) has announced nothing to us yet.
    m_owner = std::make_unique<QDBusServiceWatcher>(busService, m_bus, QDBusServiceWatcher::WatchForOwnerChange);
    connect(m_owner.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                forget();
                // A bus that was not there when accessibility was asked for (it may start after us
                // at login), or a new one, starts with the desktop's setting, not with our request.
                // The owner our own request started has been asked already.
                if (m_wanted && !newOwner.isEmpty() && newOwner != m_askedOwner)
                    enable();
            });
}

A11yStatusWatch::~A11yStatusWatch() = default;

bool A11yStatusWatch::enabled()
{
    if (m_enabled)
        return *m_enabled;
    if (!m_bus.isConnected())
        return false;
    auto message = QDBusMessage::createMethodCall(busService, busPath, propertiesInterface, QStringLiteral("Get"));
    message << statusInterface << enabledProperty;
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, busTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    m_enabled = reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
    return *m_enabled;
}

void A11yStatusWatch::enable()
{
    m_wanted = true;
    if (!m_bus.isConnected())
        return;
    auto message = QDBusMessage::createMethodCall(busService, busPath, propertiesInterface, QStringLiteral("Set"));
    message << statusInterface << enabledProperty << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, busTimeoutMs);
    const std::string refusal =
        reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage().toStdString() : std::string();
    if (!refusal.empty() && refusal != m_refusal)
        Log::line("accessibility: cannot enable it: " + refusal);
    m_refusal = refusal;
    // A reply comes from the bus's owner; an error may come from the session bus itself.
    m_askedOwner = refusal.empty() ? reply.service() : QString();
    forget();
}

void A11yStatusWatch::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                        const QStringList& invalidated)
{
    if (interface != statusInterface)
        return;
    if (const auto value = changed.find(enabledProperty); value != changed.end())
        m_enabled = value->toBool();
    else if (invalidated.contains(enabledProperty))
        forget();
}

}  // namespace kx::platform::x11
