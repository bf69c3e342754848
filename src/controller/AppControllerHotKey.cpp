// The conversion hot key: the selected text, else the run of recent words that does not read as
// typed, else ask mode's pending suggestion. The reach-back run works in every mode, manual too.

#include "controller/AppController.h"

#include "engine/DecisionEngine.h"
#include "engine/EnclosingPunctuation.h"
#include "engine/TranslationEngine.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <algorithm>

namespace kx {

namespace {

// Words older than this are no longer what the user just typed.
constexpr double hotKeyRunAge = 300.0;
// Below this share of real words the run reads no better converted.
constexpr double runScoreFloor = 0.5;
// The chord's grab takes the focus from a GTK window until the chord's key is let go, and the
// field reads as focused again only once the application has taken that in: a chord sent all at
// once (as macro and remapping tools send it) is here before then. An application that speaks
// accessibility yet shows no focused field is looked at again, this far apart, for this long (an
// application slow to answer uses the time up with its first read). One that has just started may
// not be known to speak it yet: the first look is always followed by a second.
constexpr double focusLookDelay = 0.04;
constexpr double focusWait = 0.3;

}  // namespace

void AppController::handleConvertHotKey(std::optional<double> firstLook)
{
    const double now = m_services.main->now();
    const double since = firstLook.value_or(now);
    if (now - since < focusWait && !axSelectedRangeLength()) {
        const auto front = m_services.workspace->frontApplication();
        if (front && (!firstLook || m_services.accessibility->offersAccessibility(front->pid))) {
            later(focusLookDelay, [this, since] { handleConvertHotKey(since); });
            return;
        }
    }
    if (hasAXSelection()) {
        Log::line("⌥⌘K → selection");
        convertSelection();
        return;
    }
    if (swapRecentRun()) {
        Log::line("⌥⌘K → reach-back");
        return;
    }
    if (acceptSuggestionIfPending()) {
        Log::line("⌥⌘K → accepted the suggestion");
        return;
    }
    Log::line("⌥⌘K → nothing to do (recent words: " + std::to_string(m_typing.words().size()) + ", no selection)");
    // In a terminal the copy chord would interrupt the program running there.
    if (m_policy.isAlwaysOff(frontApplicationID()))
        return;
    convertSelection();
}

bool AppController::swapRecentRun()
{
    if (m_actuation.active())
        return false;
    const auto currentLayout = m_registry.currentLayout();
    const auto& recentWords = m_typing.words();
    if (!currentLayout || recentWords.empty())
        return false;
    const KeyboardLayoutInfo& current = *currentLayout;
    const double now = m_services.main->now();
    if (now - recentWords.back().at >= hotKeyRunAge)
        return false;
    const std::string frontID = frontBundleID();
    if (!m_policy.isCorrectionAllowed(frontID))
        return false;
    const auto strategy = m_policy.usesClipboard(frontID) ? ActuationStrategy::clipboard : ActuationStrategy::synthetic;
    const std::string currentLanguage = current.language();

    // Newest first, typed on any layout.
    std::vector<const RecentWord*> collected;
    for (auto it = recentWords.rbegin(); it != recentWords.rend(); ++it) {
        if (collected.size() >= TypingMemory::retroMaxWords || now - it->at >= hotKeyRunAge || it->appID != frontID)
            break;
        collected.push_back(&*it);
    }
    const auto genuine = [&](const RecentWord* w) {
        return DecisionEngine::genuineAsTyped(w->typed, currentLanguage, frequency());
    };
    std::size_t skipped = 0;
    while (skipped < collected.size() && genuine(collected[skipped]))
        ++skipped;
    // The run, newest first while it is built.
    std::vector<const RecentWord*> run;
    std::size_t next = skipped;
    while (next < collected.size() && !genuine(collected[next]))
        run.push_back(collected[next++]);
    if (run.empty())
        return false;

    struct Score {
        const KeyboardLayoutInfo* layout;
        double score;
    };
    std::vector<Score> scores;
    for (const auto& layout : m_registry.layouts) {
        std::string text;
        for (auto it = run.rbegin(); it != run.rend(); ++it)
            text += (it == run.rbegin() ? "" : " ") + TranslationEngine::reconstruct((*it)->keys, layout.layoutData);
        scores.push_back({&layout, DecisionEngine::spellScore(text, layout.language(), frequency())});
    }
    // Among equal scores the current layout first, the others in registry order.
    std::ranges::stable_sort(scores, [&](const Score& a, const Score& b) {
        return a.score > b.score || (a.score == b.score && a.layout->id == current.id && b.layout->id != current.id);
    });
    if (scores.empty() || scores.front().score < runScoreFloor)
        return false;
    const KeyboardLayoutInfo target = *scores.front().layout;
    const std::string targetLanguage = target.language();

    // Older words that read as real words on the target join the run, up to 12 words in all.
    for (std::size_t i = next; i < collected.size(); ++i) {
        if (skipped + run.size() > TypingMemory::retroMaxWords - 1)
            break;
        const RecentWord& w = *collected[i];
        const auto split = EnclosingPunctuation::split(w.keys, current.layoutData, target.layoutData);
        const auto core =
            std::span<const KeyStroke>(w.keys).subspan(split.lead, w.keys.size() - split.lead - split.trail);
        if (core.empty())
            break;
        const std::string t = TranslationEngine::reconstruct(core, target.layoutData);
        if (t == TranslationEngine::reconstruct(core, current.layoutData) ||
            !passesTargetWordTest(t, core, current, target))
            break;
        run.push_back(&w);
    }

    // In typing order: the run converted, then the genuine newest words as they are.
    struct Pair {
        const RecentWord* word;
        std::string text;
    };
    std::vector<Pair> pairs;
    for (auto it = run.rbegin(); it != run.rend(); ++it)
        pairs.push_back({*it, TranslationEngine::reconstruct((*it)->keys, target.layoutData)});
    for (std::size_t i = skipped; i-- > 0;)
        pairs.push_back({collected[i], collected[i]->typed});
    const auto lastChanged =
        std::find_if(pairs.rbegin(), pairs.rend(), [](const Pair& p) { return p.text != p.word->typed; });
    if (lastChanged == pairs.rend())
        return false;

    SpanCorrection span;
    for (const auto& pair : pairs)
        addToSpan(span, pair.word->typed, pair.text, pair.word->terminator, target);
    span.logLine = "manual run '" + text::trimmed(span.originalText) + "' -> '" + text::trimmed(span.insertText) +
                   "'  → " + target.localizedName + "  words=" + std::to_string(pairs.size()) + "  [" +
                   std::string(toString(strategy)) + "]";
    span.from = current;
    span.target = target;
    span.strategy = strategy;
    span.frontID = frontID;
    span.retroCount = static_cast<int>(pairs.size()) - 1;
    span.decisionOriginal = lastChanged->word->typed;
    span.decisionCorrected = lastChanged->text;

    dropPendingSuggestion();
    performSpanCorrection(span);
    return true;
}

}  // namespace kx
