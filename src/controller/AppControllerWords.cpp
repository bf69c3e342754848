// Word handling: every finished word is remembered, judged and, when it was typed on the wrong
// layout, planned as a rewrite together with the earlier words that went wrong the same way.

#include "controller/AppController.h"

#include "engine/DecisionEngine.h"
#include "engine/EnclosingPunctuation.h"
#include "engine/TranslationEngine.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <algorithm>

namespace kx {

namespace {

// Below this share of real words a converted run is not worth rewriting.
constexpr double spellScoreFloor = 0.5;

// Times and figures (12:30, 50%) read the same on every layout.
bool isLayoutNeutral(const std::string& typed)
{
    if (typed.empty())
        return false;
    for (char32_t c : text::toScalars(typed))
        if (!text::isDecimalDigit(c) && c != U':' && c != U'%')
            return false;
    return true;
}

std::span<const KeyStroke> coreKeys(const std::vector<KeyStroke>& keys, const KeyboardLayoutInfo& current,
                                    const KeyboardLayoutInfo& target)
{
    const auto split = EnclosingPunctuation::split(keys, current.layoutData, target.layoutData);
    return std::span<const KeyStroke>(keys).subspan(split.lead, keys.size() - split.lead - split.trail);
}

std::string joined(const std::vector<std::string>& words, const std::string& separator)
{
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i > 0 ? separator : "") + words[i];
    return out;
}

}  // namespace

std::string AppController::terminatorText(const WordAssembler::Terminator& terminator)
{
    if (std::holds_alternative<WordAssembler::Space>(terminator))
        return " ";
    if (std::holds_alternative<WordAssembler::Tab>(terminator))
        return "\t";
    return std::get<WordAssembler::Mark>(terminator).text;
}

std::string AppController::terminatorTextOn(const WordAssembler::Terminator& terminator,
                                            const KeyboardLayoutInfo& target)
{
    if (const auto* mark = std::get_if<WordAssembler::Mark>(&terminator)) {
        const auto converted = TranslationEngine::character(mark->key.code, mark->key.flags, target.layoutData);
        return converted ? *converted : mark->text;
    }
    return terminatorText(terminator);
}

void AppController::addToSpan(SpanCorrection& span, const std::string& typed, const std::string& replacement,
                              const WordAssembler::Terminator& terminator, const KeyboardLayoutInfo& target)
{
    const std::string own = terminatorText(terminator);
    span.deleteCount += static_cast<int>(text::scalarCount(typed) + text::scalarCount(own));
    span.insertText += replacement + terminatorTextOn(terminator, target);
    span.originalText += typed + own;
}

bool AppController::looksSecret(const std::string& word)
{
    const auto characters = text::characters(word);
    if (characters.size() < 4)
        return false;
    if (std::ranges::all_of(characters, [](const std::string& c) { return text::characterIsNumber(c); }))
        return true;
    if (characters.size() < 12)
        return false;
    bool lower = false, upper = false, number = false, other = false;
    for (const auto& c : characters) {
        const bool letter = text::characterIsLetter(c);
        const bool isNumber = text::characterIsNumber(c);
        lower = lower || (letter && text::characterIsLowercase(c));
        upper = upper || (letter && text::characterIsUppercase(c));
        number = number || isNumber;
        other = other || (!letter && !isNumber);
    }
    return int(lower) + int(upper) + int(number) + int(other) >= 3;
}

void AppController::handleWord(const std::vector<KeyStroke>& keys, const WordAssembler::Terminator& terminator)
{
    // The layout the word's last key was typed in: the selected one may have changed since.
    const auto currentLayout = m_keyLayout.lastKnownLayout();
    if (!currentLayout) {
        debugLine("word ignored — no current layout");
        return;
    }
    const KeyboardLayoutInfo& current = *currentLayout;
    std::vector<KeyboardLayoutInfo> others;
    for (const auto& layout : m_registry.layouts)
        if (layout.id != current.id)
            others.push_back(layout);
    const std::string typed = TranslationEngine::reconstruct(keys, current.layoutData);

    if (looksSecret(typed)) {
        m_context.flush();
        m_repairs.consumeOrphan(typed, current, m_services.main->now());
        debugLine("word skipped — looks like a secret");
        return;
    }

    m_context.noteWord(typed);
    const std::string frontID = frontBundleID();
    // The desktop may tell of a switch late or not at all: words typed in another application are
    // no part of this one's text.
    if (!m_typing.words().empty() && m_typing.words().back().appID != frontID)
        forgetTyping(TypingBreak::appSwitch);
    const double now = m_services.main->now();
    RecentWord word{keys, terminator, typed, current.id, now, frontID};

    if (m_behavior.correctionMode() == CorrectionMode::manual) {
        m_typing.remember(std::move(word));
        return;
    }

    const std::string currentLanguage = current.language();
    debugLine("word='" + loggable(typed) + "' layout=" + current.localizedName + "[" + currentLanguage +
              "] others=" + std::to_string(others.size()) + " app=" + frontID);

    const auto orphan = m_repairs.consumeOrphan(typed, current, now);
    const auto suspect = m_repairs.takeSuspect(now);

    const bool refused = !m_policy.isCorrectionAllowed(frontID);
    if (others.empty() || refused || m_actuation.active()) {
        if (refused)
            debugLine("skip — correction not allowed in " + frontID);
        m_typing.remember(std::move(word));
        return;
    }

    // A language still loading is never waited for: the word is left as typed when it is the
    // word's own, and is no candidate when it is another layout's.
    if (!languageLoaded(currentLanguage)) {
        m_typing.remember(std::move(word));
        return;
    }
    std::erase_if(others, [this](const KeyboardLayoutInfo& layout) { return !languageLoaded(layout.language()); });
    if (others.empty()) {
        m_typing.remember(std::move(word));
        return;
    }

    const auto strategy = m_policy.usesClipboard(frontID) ? ActuationStrategy::clipboard : ActuationStrategy::synthetic;

    const auto previous = std::ranges::find_if(others, [&](const KeyboardLayoutInfo& layout) {
        return layout.source.handle == m_keyLayout.selectedBeforeHandle();
    });
    const auto decision =
        DecisionEngine::decide(keys, current, others, frequency(), previous != others.end() ? previous->id : "");
    std::optional<DecisionEngine::RunDecision> runDecision;
    if (!decision) {
        std::vector<DecisionEngine::RunWord> words;
        for (const auto& earlier : m_typing.reachBack(current.id, now))
            words.push_back({earlier.keys, earlier.typed});
        words.push_back({keys, typed});
        runDecision = DecisionEngine::decideRun(words, current, others, frequency());
    }

    if (!decision && !runDecision) {
        if (debugLogging()) {
            std::vector<std::string> alts;
            for (const auto& other : others)
                alts.push_back(other.language() + ":'" + TranslationEngine::reconstruct(keys, other.layoutData) + "'");
            Log::line("no correction for '" + loggable(typed) +
                      "' — misspelledHere=" + (frequency().isMisspelled(typed, currentLanguage) ? "true" : "false") +
                      " alts=[" + loggable(joined(alts, ", ")) + "]");
        }
        m_typing.remember(std::move(word));
        repairAfterWord(keys, typed, terminator, orphan, suspect, strategy, frontID, current);
        return;
    }

    const KeyboardLayoutInfo target = decision ? decision->target : runDecision->target;
    const std::string corrected =
        decision ? decision->corrected : TranslationEngine::reconstruct(keys, target.layoutData);
    const std::string decisionOriginal = decision ? decision->original : typed;

    std::vector<RecentWord> run;
    if (runDecision) {
        const auto& recent = m_typing.words();
        const auto count =
            std::min<std::size_t>(static_cast<std::size_t>(std::max(runDecision->wordCount - 1, 0)), recent.size());
        run.assign(recent.end() - static_cast<std::ptrdiff_t>(count), recent.end());
    } else {
        run = reachBack(current, target);
    }
    extendRetroPastValidWords(run, corrected, current, target);

    SpanCorrection span;
    for (const auto& earlier : run)
        addToSpan(span, earlier.typed, TranslationEngine::reconstruct(earlier.keys, target.layoutData),
                  earlier.terminator, target);
    addToSpan(span, decisionOriginal, corrected, terminator, target);
    if (orphan) {
        // The orphan's keys went out in the old layout just before this word: they go with it.
        span.deleteCount += static_cast<int>(text::scalarCount(orphan->text));
        span.originalText = orphan->text + span.originalText;
        Log::line("orphan '" + loggable(orphan->text) + "' removed with the rewrite");
    }

    span.logLine = "'" + loggable(text::trimmed(span.originalText)) + "' -> '" +
                   loggable(text::trimmed(span.insertText)) + "'  switch → " + target.localizedName +
                   "  retro=" + std::to_string(run.size()) + "  del=" + std::to_string(span.deleteCount) + "  [" +
                   std::string(toString(strategy)) + "]";

    span.contextBefore = m_typing.typedBefore(run.size());
    span.retroCount = static_cast<int>(run.size());
    span.from = current;
    span.target = target;
    span.strategy = strategy;
    span.frontID = frontID;
    span.decisionOriginal = decisionOriginal;
    span.decisionCorrected = corrected;

    if (m_behavior.correctionMode() == CorrectionMode::ask) {
        m_typing.remember(std::move(word));
        armSuggestion(span);
        return;
    }
    performSpanCorrection(span);
}

std::vector<AppController::RecentWord> AppController::reachBack(const KeyboardLayoutInfo& current,
                                                                const KeyboardLayoutInfo& target)
{
    const std::string currentLanguage = current.language();
    return m_typing.reachBack(current.id, m_services.main->now(), [&](const RecentWord& word) {
        if (isLayoutNeutral(word.typed))
            return true;
        const auto core = coreKeys(word.keys, current, target);
        return core.empty() ||
               DecisionEngine::retroConvertible(core, word.typed, current, target, frequency(), currentLanguage);
    });
}

bool AppController::passesTargetWordTest(const std::string& text, std::span<const KeyStroke> keys,
                                         const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target)
{
    const std::string language = target.language();
    const Script script = Script::forLanguage(language);
    if (text::characterCount(text) < 3) {
        const auto answer = frequency().frequency(text, language);
        if (answer.kind != Frequency::Kind::noList)
            return answer.isRanked();
        const auto& shortWords = DecisionEngine::commonShort();
        const auto entry = shortWords.find(script);
        return entry != shortWords.end() && entry->second.contains(text::lowercased(text));
    }
    if (script == Script::latin || script == Script::cyrillic || script == Script::greek ||
        DecisionEngine::isAcronymShaped(text) || DecisionEngine::typedIsForeignLetters(keys, current, target, true))
        return !frequency().isMisspelled(text, language);
    return frequency().frequency(text, language).isRanked();
}

void AppController::extendRetroPastValidWords(std::vector<RecentWord>& run, const std::string& corrected,
                                              const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target)
{
    const std::string currentLanguage = current.language();
    const std::string targetLanguage = target.language();
    const double now = m_services.main->now();

    // The converted run, candidate words first, with the current word at the end.
    const auto score = [&](const std::vector<RecentWord>& words) {
        std::vector<std::string> parts;
        for (const auto& w : words)
            parts.push_back(TranslationEngine::reconstruct(w.keys, target.layoutData));
        parts.push_back(corrected);
        return DecisionEngine::spellScore(joined(parts, " "), targetLanguage, frequency());
    };
    const auto tooOld = [&](const RecentWord& w) { return !TypingMemory::inReach(w, current.id, now); };
    const auto& recentWords = m_typing.words();

    double base = score(run);
    if (base < spellScoreFloor)
        return;
    auto i = static_cast<std::ptrdiff_t>(recentWords.size()) - static_cast<std::ptrdiff_t>(run.size()) - 1;
    while (i >= 0) {
        const RecentWord& w = recentWords[static_cast<std::size_t>(i)];
        if (run.size() > TypingMemory::retroMaxWords - 1 || tooOld(w))
            return;
        const auto core = coreKeys(w.keys, current, target);
        const std::string converted = TranslationEngine::reconstruct(core, target.layoutData);

        if (isLayoutNeutral(w.typed)) {
            run.insert(run.begin(), w);
            if (i == 0)
                return;
            --i;
            continue;
        }

        std::vector<RecentWord> candidate;
        const std::string asTyped = TranslationEngine::reconstruct(core, current.layoutData);
        const bool convertsAlone =
            converted != asTyped &&
            DecisionEngine::acceptableToken(DecisionEngine::strippingTrailingPunctuation(converted)) &&
            passesTargetWordTest(converted, core, current, target);
        if (convertsAlone && !frequency().frequency(asTyped, currentLanguage).isRanked()) {
            candidate = {w};
        } else {
            // A word real on both layouts (or the same on both) is taken only with a convertible
            // word before it.
            if (i == 0 || !DecisionEngine::acceptableToken(converted) ||
                !passesTargetWordTest(converted, w.keys, current, target))
                return;
            const RecentWord& p = recentWords[static_cast<std::size_t>(i - 1)];
            if (tooOld(p) ||
                !DecisionEngine::retroConvertible(p.keys, p.typed, current, target, frequency(), currentLanguage))
                return;
            candidate = {p, w};
        }

        std::vector<RecentWord> extended = candidate;
        extended.insert(extended.end(), run.begin(), run.end());
        const double candidateScore = score(extended);
        if (candidateScore < spellScoreFloor || candidateScore < base)
            return;
        run = std::move(extended);
        base = candidateScore;
        i -= static_cast<std::ptrdiff_t>(candidate.size());
    }
}

}  // namespace kx
