#pragma once
// Secure input of the simulated desktop: a switch and its holder. A holder is alive while an
// application with its pid runs, or while the test says a windowless process lives. A test may
// leave the focus unknown for a while (its look-up still out) and then answer it.

#include "platform/SecureInput.h"
#include "platform/sim/SimWorkspace.h"

#include <algorithm>
#include <functional>
#include <set>

namespace kx::sim {

class SimSecureInput final : public platform::SecureInput {
public:
    explicit SimSecureInput(const SimWorkspace& workspace) : m_workspace(workspace) {}

    Field fieldAtKey() override
    {
        if (m_focusPending)
            return Field::unknown;
        return m_enabled ? Field::secure : Field::open;
    }
    void onFocusAnswered(std::function<void(Field)> answered) override { m_answered = std::move(answered); }
    bool isEnabled() override { return m_enabled && !m_focusPending; }
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
    /// The focus moved: until answerFocus(), keys go to a field nobody has looked at yet.
    void focusMoved() { m_focusPending = true; }
    /// The look-up comes back: a password field (secure input on, held by holder) or not.
    void answerFocus(bool password, std::optional<std::int32_t> holder = std::nullopt)
    {
        m_focusPending = false;
        if (password)
            turnOn(holder);
        else
            turnOff();
        if (m_answered)
            m_answered(fieldAtKey());
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
    bool m_focusPending = false;
    std::optional<std::int32_t> m_holder;
    std::function<void(Field)> m_answered;
    std::set<std::int32_t> m_processes;
};

}  // namespace kx::sim
