// Undo: the newest rewrite is taken back by deleting what it typed and typing back what it
// replaced, on the layout the text was typed on. No history record, no sound.
//
// The Backspaces go to whatever is before the caret, so the screen is looked at first: once the
// text there is no longer what the rewrite typed (an older rewrite, after the newer ones were
// undone), deleting would eat the user's text, and the entry waits until its text is back before
// the caret. A field that cannot be read is undone as it stands.

#include "controller/AppController.h"
#include "controller/ExactDeletion.h"

#include "platform/Log.h"
#include "platform/Text.h"

namespace kx {

void AppController::performUndo()
{
    if (m_actuation.active() || m_undoStack.empty())
        return;
    const LastCorrection last = m_undoStack.top();
    // Keys typed while the screen is read wait, as during the rewrite itself.
    beginActuating();
    const int count = static_cast<int>(text::utf16Count(last.insertedText)) + ExactDeletion::contextUnits;
    m_caret.readTail(
        count, screenReadTimeout, whileAlive([this, last](const std::optional<std::string>& before) {
            if (before && !before->ends_with(last.insertedText)) {
                Log::line("undo — the text before the caret is not the last correction's; left alone  (" +
                          std::to_string(m_undoStack.size()) + " left)");
                finishActuation(0, std::nullopt, ActuationStrategy::synthetic, "?", false);
                return;
            }
            m_undoStack.pop();
            const std::string left = "  (" + std::to_string(m_undoStack.size()) + " left)";
            Log::line(debugLogging() ? "undo — restoring '" + loggable(last.originalText) + "'" + left
                                     : "undo — restoring last correction" + left);

            const auto current = m_registry.currentLayout();
            switchLayoutOurselves(last.previousLayout);
            if (last.strategy == ActuationStrategy::clipboard && current && current->id != last.previousLayout.id)
                expectStaleKeys(*current, last.previousLayout, StaleArm::ownSwitch);
            else
                m_repairs.endStaleWatch();

            replaceExactly(before, last.insertedText, last.originalText, last.strategy, [this, strategy = last.strategy](bool posted) {
                if (!posted) {
                    rewriteNotPosted("undo");
                    return;
                }
                flash("undo");
                // A Backspace must not bring back a word from before the undo.
                m_assembler.lastEmitted.reset();
                finishActuation(tailAfter(strategy), std::nullopt, ActuationStrategy::synthetic, "?", false);
            });
        }));
}

}  // namespace kx
