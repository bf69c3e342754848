#include "TypingPlan.h"

#include <algorithm>
#include <limits>
#include <random>

namespace kx::bench {

namespace {

// Uniform in [0, 1) from the generator's bits, so a seed gives the same plan whatever the
// standard library's distributions do.
class Dice {
public:
    explicit Dice(std::uint64_t seed) : m_engine(seed) {}
    double next() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }
    double between(double low, double high) { return low + (high - low) * next(); }

private:
    std::mt19937_64 m_engine;
};

// Typists' figures: a gap between presses of 70-130 % of the pace, never under 15 ms; keys held
// 20-80 ms; one key in four still down when the next goes down.
constexpr double minimumGapMs = 15;
constexpr double rolloverShare = 0.25;
// The first key of a sentence comes this long after the plan's start, leaving room for the
// layout selection and a Shift before it.
constexpr double leadMs = 50;

struct Press {
    double at = 0;
    Stroke stroke;
    int word = 0;
    bool wordStart = false;
    bool space = false;
};

}  // namespace

std::string_view nameOf(Pattern pattern)
{
    switch (pattern) {
    case Pattern::wholeSentence:
        return "whole";
    case Pattern::everyWord:
        return "every-word";
    case Pattern::mixed:
        return "mixed";
    }
    return "";
}

std::optional<Pattern> patternNamed(std::string_view name)
{
    for (const Pattern pattern : {Pattern::wholeSentence, Pattern::everyWord, Pattern::mixed}) {
        if (nameOf(pattern) == name)
            return pattern;
    }
    return std::nullopt;
}

std::optional<std::vector<PlannedWord>> wordsOf(std::string_view sentence, const LayoutKeys& keys, unsigned group)
{
    std::vector<PlannedWord> words;
    std::size_t from = 0;
    while (from <= sentence.size()) {
        const std::size_t to = std::min(sentence.find(' ', from), sentence.size());
        if (to > from) {
            const std::string word(sentence.substr(from, to - from));
            auto strokes = keys.strokesFor(word, group);
            if (!strokes)
                return std::nullopt;
            words.push_back({word, std::move(*strokes)});
        }
        from = to + 1;
    }
    if (words.empty())
        return std::nullopt;
    return words;
}

TypingPlan TypingPlan::build(const std::vector<PlannedWord>& words, Groups groups, Pattern pattern, double paceMs,
                             std::uint64_t seed)
{
    Dice dice(seed);
    TypingPlan plan;

    std::vector<Press> presses;
    double at = leadMs;
    for (int word = 0; word < static_cast<int>(words.size()); ++word) {
        const bool wrong = pattern != Pattern::mixed || dice.next() < 0.5;
        plan.onWrongLayout.push_back(wrong);
        std::vector<Stroke> strokes = words[word].strokes;
        strokes.push_back({LayoutKeys::spaceKeycode, false});
        for (std::size_t i = 0; i < strokes.size(); ++i) {
            if (!presses.empty())
                at += std::max(minimumGapMs, paceMs * dice.between(0.7, 1.3));
            presses.push_back({at, strokes[i], word, i == 0, i + 1 == strokes.size()});
        }
    }

    auto add = [&](double time, KeyEvent::Kind kind, unsigned value, int endsWord = -1) {
        plan.events.push_back({time, kind, value, endsWord});
    };
    for (std::size_t k = 0; k < presses.size(); ++k) {
        const Press& press = presses[k];
        const double previous = k > 0 ? presses[k - 1].at : 0;
        const double gapBefore = press.at - previous;
        if (press.wordStart && (pattern != Pattern::wholeSentence || press.word == 0)) {
            const unsigned group = plan.onWrongLayout[press.word] ? groups.wrong : groups.meant;
            add(k == 0 ? press.at - 40 : previous + 0.3 * gapBefore, KeyEvent::Kind::lockGroup, group);
        }
        const bool shiftedBefore = k > 0 && presses[k - 1].stroke.shift;
        if (press.stroke.shift && !shiftedBefore)
            add(press.at - std::min(dice.between(8, 25), 0.6 * gapBefore), KeyEvent::Kind::press,
                LayoutKeys::shiftKeycode);
        add(press.at, KeyEvent::Kind::press, press.stroke.keycode, press.space ? press.word : -1);

        const double gapAfter =
            k + 1 < presses.size() ? presses[k + 1].at - press.at : std::numeric_limits<double>::infinity();
        double hold = dice.between(20, 80);
        if (dice.next() < rolloverShare && k + 1 < presses.size())
            hold = std::max(hold, gapAfter + dice.between(5, 30));
        // A finger cannot press a key that is still down.
        for (std::size_t m = k + 1; m < presses.size(); ++m) {
            if (presses[m].stroke.keycode == press.stroke.keycode) {
                hold = std::min(hold, presses[m].at - press.at - 3);
                break;
            }
        }
        add(press.at + hold, KeyEvent::Kind::release, press.stroke.keycode);
        if (press.stroke.shift && (k + 1 == presses.size() || !presses[k + 1].stroke.shift)) {
            const double shiftUp = k + 1 < presses.size()
                                       ? presses[k + 1].at - std::min(dice.between(3, 15), 0.4 * gapAfter)
                                       : press.at + hold + 10;
            add(shiftUp, KeyEvent::Kind::release, LayoutKeys::shiftKeycode);
        }
    }
    std::ranges::stable_sort(plan.events, {}, &KeyEvent::atMs);

    std::vector<unsigned> down;
    for (const KeyEvent& event : plan.events) {
        if (event.value == LayoutKeys::shiftKeycode || event.kind == KeyEvent::Kind::lockGroup)
            continue;
        if (event.kind == KeyEvent::Kind::press) {
            ++plan.presses;
            plan.overlappingPresses += down.empty() ? 0 : 1;
            down.push_back(event.value);
        } else {
            std::erase(down, event.value);
        }
    }
    return plan;
}

}  // namespace kx::bench
