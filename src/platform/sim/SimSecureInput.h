#pragma once
// Secure input of the simulated desktop: a switch and its holder. A holder is alive while an
// application with its pid runs, or while the test says a windowless process lives.

#include "platform/SecureInput.h"
#include "platform/sim/SimWorkspace.h"

#include <algorithm>
#include <set>

namespace kx::sim {

class SimSecureInput final : public platform::SecureInput {
public:
    explicit SimSecureInput(const SimWorkspace& workspace) : m_workspace(workspace) {}

    bool isEnabled() override { return m_enabled; }
    std::optional<std::int32_t> holderPid() override { return m_enabled ? m_holder : std::nullopt; }
    bool isProcessAlive(std::int32_t pid) override
    {
        const auto running = m_workspace.runningApplications();
        return m_processes.contains(pid) ||
               std::ranges::any_of(running, [pid](const auto& app) { return app.pid == pid; });
    }

    /// Turns secure input on, held by holder (none: a holder nobody can identify).
    void turnOn(std::optional<std::int32_t> holder)
    {
        m_enabled = true;
        m_holder = holder;
    }
    void turnOff()
    {
        m_enabled = false;
        m_holder.reset();
    }
    /// A process without windows starts (alive true) or ends.
    void setProcessAlive(std::int32_t pid, bool alive)
    {
        if (alive)
            m_processes.insert(pid);
        else
            m_processes.erase(pid);
    }

private:
    const SimWorkspace& m_workspace;
    bool m_enabled = false;
    std::optional<std::int32_t> m_holder;
    std::set<std::int32_t> m_processes;
};

}  // namespace kx::sim
