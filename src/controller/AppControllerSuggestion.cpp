// Ask mode: a word typed on the wrong layout is left as it is, and its rewrite waits as the one
// pending suggestion, shown by the pointer, until the user applies it or does anything else.

#include "controller/AppController.h"

#include "controller/SuggestionPromptView.h"

namespace kx {

namespace {

constexpr double suggestionLifetime = 5.0;

}  // namespace

void AppController::armSuggestion(const SpanCorrection& span)
{
    pendingSuggestion = PendingSuggestion{span, keyGen};
    const platform::ScreenPoint at = m_services.pointer->location();
    // Shown once the key that ended the word has been handled. A key that arrived with an older
    // suggestion up drops whatever is pending by then, this one included: no prompt without it.
    soon([this, at] {
        if (pendingSuggestion)
            suggestionPrompt.show(at);
    });
    debugLine("suggest '" + loggable(span.decisionOriginal) + "' → '" + loggable(span.decisionCorrected) +
              "' — ⌥⌘K to apply");

    // The generation keeps an older suggestion's expiry away from a newer one.
    later(suggestionLifetime, [this, generation = keyGen] {
        if (pendingSuggestion && pendingSuggestion->keyGen == generation)
            dropPendingSuggestion();
    });
}

bool AppController::acceptSuggestionIfPending()
{
    if (!pendingSuggestion || pendingSuggestion->keyGen != keyGen || isActuating)
        return false;
    const SpanCorrection span = pendingSuggestion->span;
    dropPendingSuggestion();
    performSpanCorrection(span);
    return true;
}

void AppController::handlePromptClick()
{
    if (swapRecentRun())
        return;
    acceptSuggestionIfPending();
}

}  // namespace kx
