// Ask mode: a word typed on the wrong layout is left as it is, and its rewrite waits as the one
// pending suggestion, shown by the pointer, until the user applies it or does anything else.

#include "controller/AppController.h"

namespace kx {

void AppController::armSuggestion(const SpanCorrection& span)
{
    m_suggestion.arm(span, keyGen);
    const platform::ScreenPoint at = m_services.pointer->location();
    // Shown once the key that ended the word has been handled. A key that arrived with an older
    // suggestion up drops whatever is pending by then, this one included: no prompt without it.
    soon([this, at] { m_suggestion.showIfPending(at); });
    debugLine("suggest '" + loggable(span.decisionOriginal) + "' → '" + loggable(span.decisionCorrected) +
              "' — ⌥⌘K to apply");
}

bool AppController::acceptSuggestionIfPending()
{
    if (m_actuation.active())
        return false;
    const auto span = m_suggestion.take(keyGen);
    if (!span)
        return false;
    performSpanCorrection(*span);
    return true;
}

void AppController::handlePromptClick()
{
    if (swapRecentRun())
        return;
    acceptSuggestionIfPending();
}

}  // namespace kx
