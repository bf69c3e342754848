#pragma once
// Judging what a text field holds after a sentence was typed: each word is as meant, as typed
// (what its keys type on the wrong layout), or damaged (neither: characters lost, moved, doubled
// or added, or the word lost or merged with its neighbour), and how long each rewrite took to
// show after the Space that set it off. Pure.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx::bench {

/// A word as the typist meant it and as its keys type on the wrong layout.
struct ExpectedWord {
    std::string meant;
    std::string typed;
    bool operator==(const ExpectedWord&) const = default;
};

enum class WordOutcome { meant, typed, damaged };

struct SentenceScore {
    std::vector<WordOutcome> words;  ///< one per expected word
    bool exact = false;              ///< the field holds the meant sentence and its final Space
};

/// Aligns the field's text, split at single spaces, with the words followed by one Space, at the
/// least number of lost, extra or changed words. A word matched to a text that is neither its
/// meant nor its typed form is damaged, and so is a lost word, a doubled word, or the word before
/// any other extra text (the first word when the extra text comes first).
SentenceScore scoreSentence(const std::vector<ExpectedWord>& words, std::string_view text);

/// The field's text at a moment (CLOCK_MONOTONIC nanoseconds).
struct Snapshot {
    std::int64_t at = 0;
    std::string text;
    bool operator==(const Snapshot&) const = default;
};

/// For every word typed on the wrong layout whose meant form differs from its typed form and that
/// turns into its meant form: the milliseconds from the latest word-ending Space pressed before
/// it did (its own Space, or a later one that reached back over it) to the first snapshot showing
/// it. spaceAt holds the press of each word's Space; snapshots are in time order.
std::vector<double> fixLatencies(const std::vector<ExpectedWord>& words, const std::vector<bool>& onWrongLayout,
                                 const std::vector<std::int64_t>& spaceAt, const std::vector<Snapshot>& snapshots);

/// A key press of the typist (a character or the Space) and how many Unicode scalars the field
/// holds at least once that key has landed.
struct KeyPress {
    std::int64_t at = 0;
    std::size_t shownScalars = 0;
};

/// For every press: the milliseconds from the press to the first snapshot after it that holds
/// at least its scalars, a key held back during a rewrite counting until it is typed again.
/// Presses never shown are left out. snapshots are in time order.
std::vector<double> keyLatencies(const std::vector<KeyPress>& presses, const std::vector<Snapshot>& snapshots);

/// Counts over many sentences.
struct TypingTally {
    int words = 0;
    int meant = 0;
    int typed = 0;
    int damaged = 0;
    int sentences = 0;
    int exact = 0;
    int presses = 0;
    int overlappingPresses = 0;
    std::vector<double> latenciesMs;
    std::vector<double> keyLatenciesMs;

    void add(const SentenceScore& score);
};

/// The value below which share of the sorted values fall (0.5: the median); 0 for none.
double percentile(std::vector<double> values, double share);

}  // namespace kx::bench
