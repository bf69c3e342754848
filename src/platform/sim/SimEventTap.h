#pragma once
// The simulated desktop's tap: the desktop hands it each key-down and mouse-down before any
// application sees them.

#include "platform/EventTap.h"

#include <functional>
#include <string>
#include <vector>

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

    // The hold, as a desktop whose tap sees keys only after it took them: a key taken while the
    // keyboard is held may still be on its way to the handler.
    void setHolding(bool on) override;
    bool holding() const { return m_holding; }
    /// Hands every key still on its way to the handler, then runs then.
    void afterPendingKeys(std::function<void()> then) override;
    /// While holding: a key the desktop took whose way to the handler is slow; it reaches the
    /// handler at the next barrier. Otherwise it is routed at once.
    void takeSlowly(const platform::TapEvent& event);

    /// The program's own layout selection took effect: its notice reaches the handler after the
    /// keys still on their way, as the desktop took them before it.
    void selected(int sourceHandle);

    /// Where a key that was on its way goes when the handler lets it pass (to the application).
    std::function<void(const platform::TapEvent&)> deliverPassed;
    /// Told of what the program got wrong: a hold ended while a key was still on its way.
    std::function<void(const std::string&)> onFault;

private:
    void deliverPending();
    void routeThenDeliver(const platform::TapEvent& event);

    platform::TapHandler m_handler;
    bool m_enabled = false;
    bool m_holding = false;
    std::vector<platform::TapEvent> m_pending;
};

}  // namespace kx::sim
