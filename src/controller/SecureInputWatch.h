#pragma once
// While some process holds Secure Input the tap sees no usable keys, so the corrector is off. The
// watch finds out, at each refresh, whether Secure Input is on, who holds it and whether that
// process still lives (a holder that quit leaves it stuck until the user logs out), logs each
// change once, and publishes the run state. This program's own password field is not reported.
// Main thread only.

#include "controller/RuntimeStatus.h"
#include "engine/CorrectionMode.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kx {

class MainQueue;
namespace platform {
class SecureInput;
class Workspace;
}  // namespace platform

class SecureInputWatch {
public:
    /// How long after Secure Input ends a text field still counts as blocked, in seconds.
    static constexpr double grace = 6.0;

    struct Holder {
        std::string name;  // empty when the process has no name we know
        std::optional<std::int32_t> pid;
        bool alive = true;
        bool operator==(const Holder&) const = default;
    };

    /// Everything must outlive the watch.
    SecureInputWatch(platform::SecureInput& secureInput, platform::Workspace& workspace, MainQueue& mainQueue);

    /// Who holds Secure Input now. A holder that cannot be found is "an app we couldn't identify"
    /// and counts as alive, so an unknown holder never reads as stuck.
    Holder secureInputHolder() const;
    /// Looks again, logs a change of state, and publishes into status with the user's mode and
    /// whether both permissions are granted.
    void refresh(RuntimeStatus& status, CorrectionMode mode, bool permissionsOK);

    /// Secure Input is on, or ended less than the grace period before now.
    static bool blockedForField(const RuntimeStatus& status, double now);

    /// Secure Input was on at the last refresh.
    bool active() const { return m_active; }
    /// The holder's display name while Secure Input is on; empty otherwise.
    const std::string& holder() const { return m_holder; }

private:
    struct LiveHolder {
        std::int32_t pid = 0;
        std::string name;
    };

    platform::SecureInput& m_secureInput;
    platform::Workspace& m_workspace;
    MainQueue& m_mainQueue;
    bool m_active = false;
    std::string m_holder;
    // The last holder seen alive with a name, kept for this period only: once it quits, its name
    // is still the best one to show.
    std::optional<LiveHolder> m_lastLiveHolder;
};

}  // namespace kx
