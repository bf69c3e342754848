#pragma once
// Ask mode's one pending suggestion: the rewrite that waits, the prompt that shows it and the
// expiry that drops it. Main thread only.

#include "controller/SpanCorrection.h"
#include "platform/MainQueue.h"
#include "platform/Pointer.h"

#include <memory>
#include <optional>

namespace kx {

class SuggestionPromptView;

class SuggestionSlot {
public:
    /// A suggestion left alone this long is dropped.
    static constexpr double suggestionLifetime = 5.0;

    SuggestionSlot(MainQueue& main, SuggestionPromptView& prompt);

    /// Holds span as the pending suggestion, armed when keyGen keys had been seen, in place of
    /// any older one and its expiry. The prompt is not shown yet: see showIfPending().
    void arm(SpanCorrection span, int keyGen);
    /// Shows the prompt at at, while a suggestion is still pending.
    void showIfPending(platform::ScreenPoint at);
    /// The pending suggestion when no key came since it was armed (keyGen is unchanged), which
    /// is then dropped; none otherwise, and then nothing changes.
    std::optional<SpanCorrection> take(int keyGen);
    /// Drops the pending suggestion and hides the prompt; nothing when none is pending.
    void drop();
    bool pending() const { return m_pending.has_value(); }

private:
    struct PendingSuggestion {
        SpanCorrection span;
        int keyGen = 0;
    };

    MainQueue& m_main;
    SuggestionPromptView& m_prompt;
    std::optional<PendingSuggestion> m_pending;
    std::unique_ptr<TimerHandle> m_expiry;
};

}  // namespace kx
