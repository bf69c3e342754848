#pragma once
// Accessibility reads of the simulated desktop: the front application's text field, unless the
// field is unreadable or answers slower than the reader waits, the service is away, or the front
// application left the service (it stayed on a bus that died).

#include "platform/Accessibility.h"
#include "platform/sim/SimTextField.h"

#include <functional>
#include <set>

namespace kx::sim {

class SimAccessibility final : public platform::Accessibility {
public:
    /// focused gives the focused field, or null when no application is in front; frontPid the
    /// front application's process, 0 when none.
    SimAccessibility(std::function<const SimTextField*()> focused, std::function<std::int32_t()> frontPid)
        : m_focused(std::move(focused)), m_frontPid(std::move(frontPid))
    {
    }

    std::optional<std::string> focusedValue(double timeout) override
    {
        const SimTextField* field = answering(timeout);
        return field ? std::optional(field->text()) : std::nullopt;
    }
    std::optional<platform::TextRange> selectedRange(double timeout) override
    {
        const SimTextField* field = answering(timeout);
        return field ? std::optional(field->selectedRange()) : std::nullopt;
    }
    std::optional<std::string> selectedText(double timeout) override
    {
        const SimTextField* field = answering(timeout);
        return field ? std::optional(field->selectedText()) : std::nullopt;
    }
    std::optional<std::string> textBeforeCaret(int count, double timeout) override
    {
        const SimTextField* field = answering(timeout);
        if (!field)
            return std::nullopt;
        return unitsBefore(field->text(), field->selectedRange().location, count);
    }
    bool isReachable() override { return reachable && !leftTheBus.contains(m_frontPid()); }
    bool offersAccessibility(std::int32_t pid) override
    {
        return reachable && !withoutAccessibility.contains(pid) && !leftTheBus.contains(pid);
    }

    /// The service answers; while it does not, nothing can be read.
    bool reachable = true;
    /// Processes of applications that offer no accessibility.
    std::set<std::int32_t> withoutAccessibility;
    /// Processes of applications that took part and answer no more.
    std::set<std::int32_t> leftTheBus;

private:
    const SimTextField* answering(double timeout) const
    {
        const SimTextField* field = m_focused();
        if (!reachable || leftTheBus.contains(m_frontPid()) || !field || field->unreadable ||
            field->answerDelay > timeout)
            return nullptr;
        return field;
    }

    std::function<const SimTextField*()> m_focused;
    std::function<std::int32_t()> m_frontPid;
};

}  // namespace kx::sim
