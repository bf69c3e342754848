#include "controller/SecureInputWatch.h"

#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/SecureInput.h"
#include "platform/Workspace.h"

#include <algorithm>

#include <unistd.h>

namespace kx {

SecureInputWatch::SecureInputWatch(platform::SecureInput& secureInput, platform::Workspace& workspace,
                                   MainQueue& mainQueue)
    : m_secureInput(secureInput), m_workspace(workspace), m_mainQueue(mainQueue)
{}

SecureInputWatch::Holder SecureInputWatch::secureInputHolder() const
{
    const auto pid = m_secureInput.holderPid();
    if (!pid)
        return {"an app we couldn't identify", std::nullopt, true};
    const auto running = m_workspace.runningApplications();
    const auto app = std::ranges::find_if(running, [&](const auto& a) { return a.pid == *pid; });
    if (app != running.end())
        return {app->name.empty() ? app->id : app->name, pid, true};
    return {"", pid, m_secureInput.isProcessAlive(*pid)};
}

void SecureInputWatch::refresh(RuntimeStatus& status, CorrectionMode mode, bool permissionsOK)
{
    // A password field in one of this program's own windows (the troubleshooting prompt) hides its
    // keys from the corrector like any other, as the tap asks at every key; but it is nobody's
    // Secure Input to report: no log line, no banner, no dimmed glyph.
    const bool on = m_secureInput.isEnabledPolled() && m_secureInput.holderPid() != std::int32_t(::getpid());
    bool stuck = false;
    if (!on) {
        if (m_active) {
            m_active = false;
            m_holder.clear();
            m_lastLiveHolder.reset();
            status.secureInputEndedAt = m_mainQueue.now();
            Log::line("secure input OFF — Kestrelix can see keystrokes again");
        }
    } else {
        const Holder found = secureInputHolder();
        stuck = !found.alive;
        const std::string pidSuffix = found.pid ? " (pid " + std::to_string(*found.pid) + ")" : "";
        if (found.alive) {
            m_holder = found.name.empty() ? "an app" + pidSuffix : found.name;
            if (found.pid && !found.name.empty())
                m_lastLiveHolder = LiveHolder{*found.pid, found.name};
        } else if (m_lastLiveHolder && found.pid == m_lastLiveHolder->pid) {
            m_holder = m_lastLiveHolder->name;
        } else {
            m_holder = "an app that has since quit" + pidSuffix;
        }
        if (!m_active) {
            m_active = true;
            const std::string pidField = found.pid ? " pid=" + std::to_string(*found.pid) : "";
            Log::line("secure input ON — keystrokes hidden from Kestrelix (held by " + m_holder + pidField +
                      (stuck ? " — STUCK, holder is gone" : "") + ")");
        }
    }

    status.secureInputActive = on;
    status.secureInputStuck = stuck;
    status.secureInputHolder = m_holder;
    status.permissionsOK = permissionsOK;
    status.correctionMode = mode;
    status.refreshedAt = m_mainQueue.now();
}

bool SecureInputWatch::blockedForField(const RuntimeStatus& status, double now)
{
    return status.secureInputActive || (status.secureInputEndedAt && now - *status.secureInputEndedAt < grace);
}

}  // namespace kx
