#pragma once
// The two permissions on X11. Input Monitoring: the server offers what the key tap needs (XKB,
// XTEST, RECORD). Accessibility: the accessibility bus answers on the session bus and is enabled
// (org.a11y.Status IsEnabled, followed as the bus announces it), without which Qt applications
// expose no text; and, given the program's session on that bus, the session can use it: a bus that
// went away or whose registry restarted takes the permission away until it is back.

#include "platform/Permissions.h"

#include <QDBusConnection>

#include <memory>
#include <string>
#include <vector>

namespace kx::platform::x11 {

class A11yStatusWatch;
class AtspiSession;

class X11Permissions final : public Permissions {
public:
    /// The extensions are asked once, on $DISPLAY (they do not change while the server runs);
    /// the bus on sessionBus, once and again whenever it changed hands.
    explicit X11Permissions(QDBusConnection sessionBus = QDBusConnection::sessionBus());
    /// The same, with the session whose bus must also be usable.
    explicit X11Permissions(AtspiSession& atspi, QDBusConnection sessionBus = QDBusConnection::sessionBus());
    ~X11Permissions() override;

    bool isGranted(Permission permission) override;
    /// Accessibility: asks the bus once per process to enable accessibility for every application
    /// (the same switch as the desktop's own setting), and asks again each time the bus appears
    /// anew. Input Monitoring has nothing to ask.
    bool request(Permission permission) override;
    /// Input Monitoring: the extensions the server lacks; none named when there is no display.
    std::vector<std::string> missingParts(Permission permission) override;

private:
    QDBusConnection m_bus;
    std::unique_ptr<A11yStatusWatch> m_enabled;
    AtspiSession* m_atspi = nullptr;
    bool m_inputMonitoring = false;
    std::vector<std::string> m_missingExtensions;
    bool m_askedToEnable = false;
};

}  // namespace kx::platform::x11
