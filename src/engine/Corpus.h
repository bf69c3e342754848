#pragma once
// The --corpus run: measures the decisions on the user's own enabled layouts with the shipped word
// lists. Words typed on the wrong layout must be converted, words typed correctly left alone; runs
// of words are judged the same way. Prints pass / missed / wrong tables.

#include "engine/DecisionEngine.h"
#include "engine/KeyboardLayoutInfo.h"
#include "engine/LayoutRegistry.h"
#include "platform/InputSources.h"
#include "platform/KeyStroke.h"

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kx {

class Corpus {
public:
    /// The wanted outcome of a single-word case.
    struct Expect {
        enum class Kind { converts, noChange };
        Kind kind = Kind::noChange;
        std::string word;  // only for converts: what the keys were meant to produce

        static Expect converts(std::string word) { return {Kind::converts, std::move(word)}; }
        static Expect noChange() { return {}; }
    };

    struct Case {
        std::string group;  // the table row it counts in
        std::string typed;  // what the keys type on current
        std::vector<KeyStroke> keys;
        KeyboardLayoutInfo current;
        Expect expect;
        std::string note;  // shown beside a wrong result
    };

    struct RunCase {
        std::string group;
        std::string shown;                           // the typed words joined by single spaces
        std::vector<DecisionEngine::RunWord> words;  // oldest first
        KeyboardLayoutInfo current;
        std::optional<std::string> expect;  // the language the run was meant for; none: leave it alone
        std::string note;
    };

    /// One group of single-word cases.
    struct Result {
        int pass = 0;
        std::vector<std::pair<Case, std::string>> missed;  // with the reason
        std::vector<std::pair<Case, std::string>> wrong;
    };

    /// The whole run over the layouts of sources, printed to out. scale multiplies the 200 words
    /// taken from each list; a scale of 0 or less takes every word.
    static void run(std::ostream& out, platform::InputSources& sources, int scale);
    /// The scale of a command line: its first argument that is a whole decimal number, with an
    /// optional sign; 1 when there is none.
    static int scale(const std::vector<std::string>& arguments);

    static std::vector<Case> build(const LayoutRegistry& registry, int scale);
    static std::vector<RunCase> buildRuns(const LayoutRegistry& registry);

private:
    /// Up to take words of at least minLen characters that can be words, after the first skip
    /// lines of the language's list; all of them when take is 0 or less.
    static std::vector<std::string> words(const std::string& lang, int skip, int take, int minLen);
    /// The keys that type text on layout, a character with no key of its own as the keys of its
    /// canonical decomposition, its accents' dead keys first, leaving out accents that no key
    /// types; none when a character cannot be typed.
    static std::optional<std::vector<KeyStroke>> keystrokes(const std::string& text, const KeyboardLayoutInfo& layout);
};

}  // namespace kx
