// Small repairs after the fact, each made only when the screen shows the accident: keys left in
// the old layout when the user switched layouts in the middle of a word (an orphan), a first key
// the application still read through the old layout after our own switch or paste (a suspect),
// and a space the application swallowed after a paste.

#include "controller/AppController.h"

#include "engine/DecisionEngine.h"
#include "engine/TranslationEngine.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <algorithm>
#include <utility>

namespace kx {

namespace {

constexpr std::size_t screenQuoteLength = 12;

bool endsWithSpace(const WordAssembler::Terminator& terminator)
{
    return std::holds_alternative<WordAssembler::Space>(terminator);
}

}  // namespace

void AppController::userSwitchedLayout(double at)
{
    captureOrphanAtLayoutChange(at);
    m_assembler.keys.clear();
    m_repairs.userSwitched();
}

void AppController::captureOrphanAtLayoutChange(double at)
{
    if (const auto& orphan = m_repairs.captureOrphan(m_assembler.keys, m_keyLayout.lastKnownLayout(), at))
        debugLine("orphan pending: '" + loggable(orphan->text) + "'");
}

void AppController::repairAfterWord(const std::vector<KeyStroke>& keys, const std::string& typed,
                                    const WordAssembler::Terminator& terminator,
                                    const std::optional<PendingOrphan>& orphan,
                                    const std::optional<SuspectStale>& suspect, ActuationStrategy strategy,
                                    const std::string& frontID, const KeyboardLayoutInfo& current)
{
    if (orphan) {
        // Joined: the orphan's keys were the start of this word. Dropped: the user typed them again.
        const std::string start = TranslationEngine::reconstruct(orphan->keys, current.layoutData);
        const std::string joinedWord = start + typed;
        if (!start.empty() && DecisionEngine::acceptableToken(joinedWord) &&
            !frequency().isMisspelled(joinedWord, current.language()))
            scheduleOrphanFix(*orphan, typed, joinedWord, terminator, strategy, frontID, current);
        else if (text::characterCount(typed) >= 2 && keys.size() >= orphan->keys.size() &&
                 std::equal(orphan->keys.begin(), orphan->keys.end(), keys.begin()))
            scheduleOrphanFix(*orphan, typed, typed, terminator, strategy, frontID, current);
        else
            debugLine("orphan '" + loggable(orphan->text) + "' left alone");
        return;
    }
    if (suspect && !typed.empty()) {
        const PendingOrphan oneKey{
            {suspect->key}, suspect->text, Script::forLanguage(suspect->old.language()), suspect->at, suspect->armedBy};
        const auto characters = text::characters(typed);
        std::string rest;
        for (std::size_t i = 1; i < characters.size(); ++i)
            rest += characters[i];
        scheduleOrphanFix(oneKey, rest, typed, terminator, strategy, frontID, current);
        return;
    }
    if (strategy != ActuationStrategy::clipboard || typed.empty())
        return;
    if (const auto paste = m_repairs.takePasteInto(frontID, m_services.main->now())) {
        later(repairDelay, [this, typed, terminator, strategy, frontID, current, paste] {
            checkSpaceAfterPaste(typed, terminator, strategy, frontID, current, *paste);
        });
    }
}

void AppController::scheduleOrphanFix(const PendingOrphan& orphan, const std::string& word,
                                      const std::string& replacement, const WordAssembler::Terminator& terminator,
                                      ActuationStrategy strategy, const std::string& frontID,
                                      const KeyboardLayoutInfo& layout)
{
    if (m_actuation.active())
        return;
    beginActuating();
    later(repairDelay, [this, orphan, word, replacement, terminator, strategy, frontID, layout] {
        fixOrphan(orphan, word, replacement, terminator, strategy, frontID, layout);
    });
}

void AppController::fixOrphan(const PendingOrphan& orphan, const std::string& word, const std::string& replacement,
                              const WordAssembler::Terminator& terminator, ActuationStrategy strategy,
                              const std::string& frontID, const KeyboardLayoutInfo& layout)
{
    const std::string term = terminatorText(terminator);
    const std::string correct = replacement + term;
    const std::string stale = orphan.text + word + term;
    const int deleteCount = static_cast<int>(text::scalarCount(stale));

    judgeScreen(correct, stale, 1, [=, this](const ScreenVerdict& verdict) {
        const auto leaveAsItIs = [this] {
            m_assembler.lastEmitted.reset();
            finishActuation(0, std::nullopt, ActuationStrategy::synthetic, "?", false);
        };
        if (verdict.kind == ScreenVerdict::Kind::correct) {
            debugLine("orphan '" + orphan.text + "' — screen already reads '" + trimTrailingSpaces(correct) +
                      "', app kept up");
            leaveAsItIs();
            return;
        }
        // Only text that landed counts: a screen that shows neither text would lose the user's
        // own text to the Backspaces.
        if (verdict.kind == ScreenVerdict::Kind::undecided && verdict.text && orphan.armedBy != StaleArm::paste) {
            Log::line("orphan repair abandoned: the text before the caret reads '…" +
                      lastCharacters(*verdict.text, screenQuoteLength) + "', not '…" +
                      lastCharacters(trimTrailingSpaces(stale), screenQuoteLength) + "'");
            leaveAsItIs();
            return;
        }
        // A paste may still be on its way to the screen: without seeing the stale text, keep off.
        if (verdict.kind == ScreenVerdict::Kind::undecided && orphan.armedBy == StaleArm::paste) {
            const std::string state = verdict.text
                                          ? "undecided ('" + lastCharacters(*verdict.text, screenQuoteLength) + "')"
                                          : std::string("unreadable");
            debugLine("orphan '" + loggable(orphan.text) + "' — paste-armed, screen " + state + ": leaving it");
            leaveAsItIs();
            return;
        }

        std::string line = "orphan '" + orphan.text + "' + '" + word + "' -> '" + replacement +
                           "'  del=" + std::to_string(deleteCount) + "  [" + std::string(toString(strategy)) + "]";
        if (verdict.kind == ScreenVerdict::Kind::stale)
            line += "  screen confirmed";
        // The newest word is the one repaired.
        logCorrection(line, m_typing.typedBefore(1));

        postRewrite(whileAlive([=, this] {
            const bool posted = m_actuator.replace(deleteCount, correct, strategy);
            soon([=, this] {
                if (!posted) {
                    rewriteNotPosted("orphan repair");
                    return;
                }
                pushUndo({correct, stale, layout, strategy, m_services.main->now()}, false);
                const Uuid recordID = recordCorrection(frontID, stale, correct, layout.localizedName,
                                                       layout.localizedName, CorrectionKind::orphan, 0);
                m_context.attach(recordID);
                flash(replacement == word ? "↺ removed " + orphan.text : "↺ " + replacement);
                // After our own switch the application may read the next keys through the old
                // layout again once this repair is pasted.
                if (const auto& from = m_repairs.switchedFrom()) {
                    if (strategy == ActuationStrategy::clipboard && from->id != layout.id)
                        expectStaleKeys(*from, layout, StaleArm::paste);
                    else
                        m_repairs.endStaleWatch();
                }
                m_typing.forget();
                m_assembler.lastEmitted.reset();
                finishActuation(tailAfter(strategy), correct, strategy, frontID, false);
            });
        }));
    });
}

void AppController::checkSpaceAfterPaste(const std::string& typed, const WordAssembler::Terminator& terminator,
                                         ActuationStrategy strategy, const std::string& frontID,
                                         const KeyboardLayoutInfo& layout, const LastPaste& paste)
{
    if (m_actuation.active())
        return;
    const std::string term = terminatorText(terminator);
    const std::string correct = paste.text + " " + typed + term;
    const std::string stale = paste.text + typed + term;
    const int deleteCount = static_cast<int>(text::scalarCount(typed + term));
    const bool spaceAfter = endsWithSpace(terminator);
    // A trailing space goes out as a key of its own after the text.
    const std::string insert = " " + typed + (spaceAfter ? "" : term);

    judgeScreen(correct, stale, 1, [=, this](const ScreenVerdict& verdict) {
        if (verdict.kind != ScreenVerdict::Kind::stale || m_actuation.active())
            return;
        if (paste.repair) {
            Log::line("space after the re-typed word collapsed again in " + frontID + " — leaving it");
            return;
        }
        Log::line("space after the paste collapsed — re-typing '" + loggable(typed) + "' with it  [" +
                  std::string(toString(strategy)) + "]");
        beginActuating();
        postRewrite(whileAlive([=, this] {
            bool posted = m_actuator.replace(deleteCount, insert, strategy);
            if (posted && spaceAfter) {
                m_services.sleeper(Actuator::clipboardPause);
                posted = m_actuator.tapKey(Actuator::spaceKey, 0);
            }
            soon([=, this] {
                if (!posted) {
                    rewriteNotPosted("space repair");
                    return;
                }
                pushUndo({" " + typed + term, typed + term, layout, strategy, m_services.main->now()}, false);
                recordCorrection(frontID, stale, correct, layout.localizedName, layout.localizedName,
                                 CorrectionKind::orphan, 0);
                flash("↺ space");
                m_assembler.lastEmitted.reset();
                finishActuation(tailAfter(strategy), insert, strategy, frontID, true);
            });
        }));
    });
}

}  // namespace kx
