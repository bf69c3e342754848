#pragma once
// Whether accessibility is turned on for the desktop (the accessibility bus's org.a11y.Status
// IsEnabled), kept as the bus announces each change, so that the run state's regular look costs
// no call on the session bus. The first answer, and the first after the bus changed hands, is
// asked of the bus with a timeout. Main thread only.

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <string>

class QDBusServiceWatcher;

namespace kx::platform::x11 {

class A11yStatusWatch final : public QObject {
    Q_OBJECT

public:
    explicit A11yStatusWatch(QDBusConnection bus);
    ~A11yStatusWatch() override;

    /// IsEnabled; false when the bus does not answer in time (it is then asked again next time).
    bool enabled();
    /// Asks the bus to turn accessibility on, now and whenever the bus's name gets a new owner
    /// later (a bus that starts after us starts off); a refusal is logged, each reason once. The
    /// next question goes to the bus.
    void enable();

private Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void forget() { m_enabled.reset(); }

    QDBusConnection m_bus;
    std::unique_ptr<QDBusServiceWatcher> m_owner;
    std::optional<bool> m_enabled;
    bool m_wanted = false;   // enable() was called
    std::string m_refusal;   // why the bus last refused, as logged
    QString m_askedOwner;    // the owner that last took the request
};

}  // namespace kx::platform::x11
