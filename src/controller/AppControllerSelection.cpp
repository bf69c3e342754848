// Selection conversion: the selected text is judged to have been typed on the layout whose keys
// type most of its letters, converted to each other layout, and replaced by the conversion the
// spell checker likes best; the keyboard follows.

#include "controller/AppController.h"

#include "engine/DecisionEngine.h"
#include "engine/TranslationEngine.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <cstdio>

namespace kx {

namespace {

constexpr double axTimeout = 0.25;
// How long the application gets to put the copied selection on the pasteboard.
constexpr double copySettle = 0.12;
constexpr std::size_t quoteLength = 40;

std::string twoDecimals(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

std::string firstCharacters(const std::string& s, std::size_t count)
{
    std::string out;
    for (const auto& character : text::characters(s)) {
        if (count-- == 0)
            break;
        out += character;
    }
    return out;
}

}  // namespace

std::optional<std::int64_t> AppController::axSelectedRangeLength()
{
    const auto range = m_services.accessibility->selectedRange(axTimeout);
    if (!range)
        return std::nullopt;
    return range->length;
}

std::optional<std::string> AppController::selectedTextViaAX()
{
    auto selected = m_services.accessibility->selectedText(axTimeout);
    if (!selected || selected->empty())
        return std::nullopt;
    return selected;
}

std::optional<std::string> AppController::selectedTextViaCopy()
{
    // Ctrl+C plays the copy key, and in the always-off applications (terminals above all) it is
    // an interrupt instead.
    const auto frontID = frontApplicationID();
    if (m_policy.isAlwaysOff(frontID)) {
        Log::line("no copy of the selection in " + *frontID + ": Ctrl+C would interrupt there");
        return std::nullopt;
    }
    auto& pasteboard = *m_services.pasteboard;
    const PasteboardSnapshot snapshot(pasteboard);
    const auto before = pasteboard.changeCount();
    m_actuator.copySelection();
    m_services.sleeper(copySettle);
    std::optional<std::string> copied;
    if (pasteboard.changeCount() != before)
        copied = pasteboard.string();
    snapshot.restore(pasteboard);
    if (!copied || copied->empty())
        return std::nullopt;
    return copied;
}

bool AppController::hasAXSelection()
{
    const auto length = axSelectedRangeLength();
    auto selected = selectedTextViaAX();
    if (selected)
        selected = text::trimmed(*selected);
    const long characters = selected ? static_cast<long>(text::characterCount(*selected)) : -1L;
    debugLine("AX selection — range=" + (length ? std::to_string(*length) : std::string("unavailable")) +
              " selectedTextChars=" + std::to_string(characters));
    if (length && *length == 0)
        return false;
    return selected && !selected->empty();
}

void AppController::convertSelection()
{
    if (m_actuation.active())
        return;
    auto selected = selectedTextViaAX();
    if (!selected)
        selected = selectedTextViaCopy();
    if (!selected || text::trimmed(*selected).empty()) {
        flash("select text first");
        return;
    }
    const std::string text = *selected;

    m_registry.refresh();
    if (m_registry.layouts.size() < 2) {
        flash("need 2+ layouts");
        return;
    }

    std::vector<std::string> letters;
    for (const auto& character : text::characters(text))
        if (text::characterIsLetter(character))
            letters.push_back(character);
    const auto share = [&](const KeyboardLayoutInfo& layout) {
        if (letters.empty())
            return 0.0;
        const auto keys = TranslationEngine::inverseMap(layout.layoutData);
        const auto typeable = std::ranges::count_if(letters, [&](const std::string& c) { return keys.contains(c); });
        return static_cast<double>(typeable) / static_cast<double>(letters.size());
    };
    const KeyboardLayoutInfo* source = &m_registry.layouts.front();
    double sourceShare = share(*source);
    for (const auto& layout : m_registry.layouts) {
        const double s = share(layout);
        if (s > sourceShare) {
            source = &layout;
            sourceShare = s;
        }
    }

    struct Candidate {
        const KeyboardLayoutInfo* layout;
        std::string converted;
        double score;
    };
    std::vector<Candidate> candidates;
    for (const auto& layout : m_registry.layouts) {
        if (layout.id == source->id)
            continue;
        std::string converted = TranslationEngine::transliterate(text, source->layoutData, layout.layoutData);
        if (converted == text)
            continue;
        const double score = DecisionEngine::spellScore(converted, layout.language(), frequency());
        candidates.push_back({&layout, std::move(converted), score});
    }
    if (debugLogging()) {
        std::string listed;
        for (const auto& candidate : candidates)
            listed +=
                (listed.empty() ? "" : ", ") + candidate.layout->localizedName + ":" + twoDecimals(candidate.score);
        Log::line("manual convert: from=" + source->localizedName +
                  " origScore=" + twoDecimals(DecisionEngine::spellScore(text, source->language(), frequency())) +
                  " candidates=[" + listed + "]");
    }
    if (candidates.empty()) {
        flash("nothing to convert");
        return;
    }
    // No minimum: the user asked for this text to be converted.
    const Candidate* best = &candidates.front();
    for (const auto& candidate : candidates)
        if (candidate.score > best->score)
            best = &candidate;
    const KeyboardLayoutInfo from = *source;
    const KeyboardLayoutInfo target = *best->layout;
    const std::string converted = best->converted;

    const std::string names = from.localizedName + "→" + target.localizedName + "  score " + twoDecimals(best->score);
    if (debugLogging())
        Log::line("manual convert '" + loggable(firstCharacters(text, quoteLength)) + "' -> '" +
                  loggable(firstCharacters(converted, quoteLength)) + "'  " + names);
    else
        Log::line("manual convert  " + names);

    const auto frontID = frontApplicationID();
    const auto strategy =
        frontID && m_policy.usesClipboard(*frontID) ? ActuationStrategy::clipboard : ActuationStrategy::synthetic;
    beginActuating();
    switchLayoutOurselves(target);
    if (strategy == ActuationStrategy::clipboard && from.id != target.id)
        expectStaleKeys(from, target, StaleArm::ownSwitch);
    else
        m_repairs.endStaleWatch();

    postRewrite(
        whileAlive([this, converted, strategy, complete = [this, text, converted, from, target, strategy, frontID] {
            pushUndo({converted, text, from, strategy, m_services.main->now()}, true);
            m_typing.forget();
            m_assembler.lastEmitted.reset();
            recordCorrection(frontID.value_or("?"), text, converted, from.localizedName, target.localizedName,
                             CorrectionKind::manual, 0);
            flash("↺ → " + target.localizedName);
            finishActuation(tailAfter(strategy), std::nullopt, ActuationStrategy::synthetic, "?", false);
        }] {
            // The text typed or pasted replaces the selection: nothing to delete first.
            if (m_actuator.replace(0, converted, strategy))
                soon(complete);
            else
                soon([this] { rewriteNotPosted("manual convert"); });
        }));
}

}  // namespace kx
