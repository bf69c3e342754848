#pragma once
// Judges finished words: was a word, or the run of words just typed, meant for another of the
// user's layouts? Strict by design: it answers nothing when the typed text is a real word, when no
// other layout yields a real word, or when two layouts compete without a clear winner. Stateless;
// runs on its caller's thread.

#include "engine/KeyboardLayoutInfo.h"
#include "engine/LanguageOracle.h"
#include "engine/Script.h"
#include "platform/KeyStroke.h"

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kx {

/// A word typed on the wrong layout.
struct Decision {
    std::string original;       // the word as typed on the current layout
    std::string corrected;      // the same keys on the target layout, trailing marks kept
    KeyboardLayoutInfo target;  // the layout the word was meant for
};

class DecisionEngine {
public:
    /// A run of words meant for another layout.
    struct RunDecision {
        KeyboardLayoutInfo target;
        int wordCount = 0;  // how many of the newest words to convert (2 or more)
    };

    /// One finished word of a run: its keys and what they typed on the current layout.
    struct RunWord {
        std::vector<KeyStroke> keys;
        std::string typed;
    };

    /// The layout the keys were meant for, tried over others in the caller's order; none when the
    /// typed word stands or no single layout clearly wins. When the keys make no word as they are,
    /// marks in front of them (an opening bracket, a quote) are set aside: the word after them
    /// decides, and they go over to its target when they are marks there too. previousLayoutID
    /// names the layout the user had selected before current, if any: where several layouts make
    /// words, its ranked word wins.
    static std::optional<Decision> decide(std::span<const KeyStroke> keys, const KeyboardLayoutInfo& current,
                                          std::span<const KeyboardLayoutInfo> others, LanguageOracle& oracle,
                                          const std::string& previousLayoutID = {});

    /// Whether the newest words of a run (oldest first) were all typed on the wrong layout; none
    /// unless exactly one of others qualifies.
    static std::optional<RunDecision> decideRun(std::span<const RunWord> wordsOldestFirst,
                                                const KeyboardLayoutInfo& current,
                                                std::span<const KeyboardLayoutInfo> others, LanguageOracle& oracle);

    /// The word's text on target when its keys make a real word there; none otherwise. Keys that
    /// enclose the word on both layouts (quotes, brackets) are judged by the word inside them.
    /// currentLanguage is given when reaching back from a detected word: a word genuine in it
    /// then stays.
    static std::optional<std::string> retroConvertible(std::span<const KeyStroke> keys, const std::string& typed,
                                                       const KeyboardLayoutInfo& current,
                                                       const KeyboardLayoutInfo& target, LanguageOracle& oracle,
                                                       const std::optional<std::string>& currentLanguage);

    /// word, less its trailing marks, is a real word of language; never when a mark (other than an
    /// apostrophe, hyphen or quote, or an opening bracket or quote before it) comes before one of
    /// its letters.
    static bool genuineAsTyped(const std::string& word, const std::string& language, LanguageOracle& oracle);

    /// The share, 0 to 1, of the words of 2 characters or more in text that language's spell
    /// checker accepts; 0 when it cannot check language or there is no such word.
    static double spellScore(std::string_view text, const std::string& language, LanguageOracle& oracle);

    /// s can be a word: 2 to 24 characters of letters, apostrophes and hyphens (other quote marks
    /// only outside Latin text), not all capitals, no capital after the first character.
    static bool acceptableToken(std::string_view s);
    /// Typed text may be judged at all: 2 to 24 characters, no digit, no white space, not all capitals.
    static bool acceptableAsTyped(std::string_view s);
    /// s without the closing marks at its end.
    static std::string strippingTrailingPunctuation(std::string_view s);
    /// The shape of a Hebrew acronym: a double geresh (or its ASCII stand-in) before the last letter.
    static bool isAcronymShaped(std::string_view s);
    /// One of the keys types punctuation or a symbol on current and a letter on target, or is a
    /// dead key there with a key after it, so the typed text is not a plain word of current. With
    /// ignoringTrailingPunctuation, keys at the end that type a closing mark on current are left out.
    static bool typedIsForeignLetters(std::span<const KeyStroke> keys, const KeyboardLayoutInfo& current,
                                      const KeyboardLayoutInfo& target, bool ignoringTrailingPunctuation);
    /// A geresh or apostrophe that neither ends s nor follows a letter that takes one.
    static bool hasStrayGeresh(std::string_view s);
    /// A Hebrew final form before the last letter of s.
    static bool hasFinalLetterMidWord(std::string_view s);
    /// s is Hebrew joined by a quote mark: every letter is Hebrew, and a double geresh (or its
    /// ASCII stand-in) stands between two Hebrew letters or a Hebrew geresh sign follows one, as in
    /// abbreviations and quoted words. Such text is never another script typed on the wrong layout.
    static bool isHebrewJoinedByGeresh(std::string_view s);

    /// Real words shorter than 3 characters, by script: for languages without a frequency list,
    /// and for a run's words typed right. Scripts not listed have none. Looked up lower-cased.
    static const std::map<Script::Value, std::unordered_set<std::string>>& commonShort();
    /// The 17 characters that may trail a word.
    static const std::unordered_set<std::string>& closingMarks();

private:
    /// typed may be judged at all and is not a real word of current's language, whole or without
    /// its closing marks.
    static bool mayBeMistyped(const std::string& typed, const KeyboardLayoutInfo& current, LanguageOracle& oracle);
    /// decide for words behind marks: marks here and on the target, or keys that are letters here
    /// and a quote or bracket on the target. The first leaves the decision's original empty.
    static std::optional<Decision> withMarksInFront(std::span<const KeyStroke> keys, const KeyboardLayoutInfo& current,
                                                    std::span<const KeyboardLayoutInfo> others, LanguageOracle& oracle,
                                                    const std::string& previousLayoutID);
    static std::optional<Decision> withQuoteMeantInFront(std::span<const KeyStroke> keys, const std::string& typed,
                                                         const KeyboardLayoutInfo& current,
                                                         std::span<const KeyboardLayoutInfo> others,
                                                         LanguageOracle& oracle, const std::string& previousLayoutID);
    /// chosen, from keys that typed typed, is short enough to be a word on its target by chance,
    /// and no key typed a mark here and a letter there.
    static bool isShortByChance(std::span<const KeyStroke> keys, const std::string& typed, const Decision& chosen,
                                const KeyboardLayoutInfo& current);
    /// The one layout of others on which keys clearly make a real word.
    static std::optional<Decision> chooseTarget(std::span<const KeyStroke> keys, const std::string& typed,
                                                const KeyboardLayoutInfo& current,
                                                std::span<const KeyboardLayoutInfo> others, LanguageOracle& oracle,
                                                const std::string& previousLayoutID);
};

}  // namespace kx
