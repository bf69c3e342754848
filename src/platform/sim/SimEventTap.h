#pragma once
// The simulated desktop's tap: the desktop hands it each key-down and mouse-down before any
// application sees them.

#include "platform/EventTap.h"

namespace kx::sim {

class SimEventTap final : public platform::EventTap {
public:
    bool install(platform::TapHandler handler) override;
    void enable() override;

    /// What the handler says of event; pass when no working tap is installed.
    platform::TapVerdict route(const platform::TapEvent& event);
    /// The desktop turns the tap off (reason is one of the two disabled notices): the handler gets
    /// the notice, and events pass unseen until enable().
    void disable(platform::TapEventType reason);

    /// install() fails while this is set.
    bool refusesInstall = false;
    bool installed() const { return static_cast<bool>(m_handler); }
    bool enabled() const { return m_enabled; }

private:
    platform::TapHandler m_handler;
    bool m_enabled = false;
};

}  // namespace kx::sim
