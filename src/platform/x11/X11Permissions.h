#pragma once
// The two permissions on X11. Input Monitoring: the server offers what the key tap needs (XKB,
// XTEST, RECORD). Accessibility: the accessibility bus answers on the session bus and is enabled
// (org.a11y.Status IsEnabled), without which Qt applications expose no text.

#include "platform/Permissions.h"

#include <QDBusConnection>

#include <string>
#include <vector>

namespace kx::platform::x11 {

class X11Permissions final : public Permissions {
public:
    /// The extensions are asked once, on $DISPLAY (they do not change while the server runs);
    /// the bus at every question, on sessionBus.
    explicit X11Permissions(QDBusConnection sessionBus = QDBusConnection::sessionBus());

    bool isGranted(Permission permission) override;
    /// Accessibility: asks the bus once per process to enable accessibility for every application
    /// (the same switch as the desktop's own setting). Input Monitoring has nothing to ask.
    bool request(Permission permission) override;
    /// Input Monitoring: the extensions the server lacks; none named when there is no display.
    std::vector<std::string> missingParts(Permission permission) override;

private:
    QDBusConnection m_bus;
    bool m_inputMonitoring = false;
    std::vector<std::string> m_missingExtensions;
    bool m_askedToEnable = false;
};

}  // namespace kx::platform::x11
