#pragma once
// When a typist presses and releases each key of a sentence: a pace between presses with seeded
// jitter, each key held 20-80 ms and now and then past the next press (rollover), Shift pressed
// just before a capital and let go just before the next small letter, and the layout selected
// before the words as the pattern says. Pure: the same words, pace and seed give the same plan.

#include "LayoutKeys.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::bench {

/// How the typist treats the layout.
enum class Pattern {
    wholeSentence,  ///< the wrong layout selected once, the whole sentence typed on it
    everyWord,      ///< the wrong layout selected again before every word
    mixed,          ///< before every word, the right or the wrong layout, at random
};
std::string_view nameOf(Pattern pattern);
/// "whole", "every-word" or "mixed"; none for anything else.
std::optional<Pattern> patternNamed(std::string_view name);

/// A word of the sentence and the strokes that type it on the layout it is meant for (the
/// Space after it is not among them).
struct PlannedWord {
    std::string meant;
    std::vector<Stroke> strokes;
};

/// The words of a sentence, split at single spaces; none when a character cannot be typed on
/// the group or the sentence has no word.
std::optional<std::vector<PlannedWord>> wordsOf(std::string_view sentence, const LayoutKeys& keys, unsigned group);

struct KeyEvent {
    enum class Kind { press, release, lockGroup };
    double atMs = 0;
    Kind kind = Kind::press;
    unsigned value = 0;  ///< the keycode, or the group to lock
    int endsWord = -1;   ///< for the press of the Space after word n: n
    bool operator==(const KeyEvent&) const = default;
};

struct TypingPlan {
    std::vector<KeyEvent> events;     ///< in time order, from 0
    std::vector<bool> onWrongLayout;  ///< per word: whether the typist selected the wrong layout for it
    int presses = 0;                  ///< character and Space presses
    int overlappingPresses = 0;       ///< of those, the ones made while another such key was down

    struct Groups {
        unsigned meant = 0;
        unsigned wrong = 0;
    };
    static TypingPlan build(const std::vector<PlannedWord>& words, Groups groups, Pattern pattern, double paceMs,
                            std::uint64_t seed);
};

}  // namespace kx::bench
