#include "controller/SuggestionSlot.h"

#include "controller/SuggestionPromptView.h"

#include <utility>

namespace kx {

SuggestionSlot::SuggestionSlot(MainQueue& main, SuggestionPromptView& prompt) : m_main(main), m_prompt(prompt) {}

void SuggestionSlot::arm(SpanCorrection span, int keyGen)
{
    m_pending = PendingSuggestion{std::move(span), keyGen};
    // Replacing the handle cancels an older suggestion's expiry. The timer's own block leaves the
    // handle alone: it is still running.
    m_expiry = m_main.timer(suggestionLifetime, false, [this] {
        if (!m_pending)
            return;
        m_pending.reset();
        m_prompt.hide();
    });
}

void SuggestionSlot::showIfPending(platform::ScreenPoint at)
{
    if (m_pending)
        m_prompt.show(at);
}

std::optional<SpanCorrection> SuggestionSlot::take(int keyGen)
{
    if (!m_pending || m_pending->keyGen != keyGen)
        return std::nullopt;
    SpanCorrection span = std::move(m_pending->span);
    drop();
    return span;
}

void SuggestionSlot::drop()
{
    if (!m_pending)
        return;
    m_pending.reset();
    m_expiry.reset();
    m_prompt.hide();
}

}  // namespace kx
