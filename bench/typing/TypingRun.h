#pragma once
// Typing sentences into a target with the corrector running, and judging what the field holds
// after each: the work of one cell of the benchmark's table (a language, a target, a pattern and
// a pace), shared by the benchmark and its short form among the desktop tests.

#include "LayoutKeys.h"
#include "TextTarget.h"
#include "TypingPlan.h"
#include "Typist.h"
#include "WordScore.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kx::bench {

/// A language, the layouts set for it, and the groups its text is meant for and typed on. A run
/// named "<language>-<layout>" types the language's text on that other layout.
struct LanguageRun {
    std::string language;
    std::string layouts;
    TypingPlan::Groups groups;
    /// Sentences typed one after another into the field before it is emptied: a sentence's
    /// capital then follows a Space, which a combining mark typed by it joins.
    int sentencesPerLine = 1;
    /// The language of the text typed: the name up to its "-".
    std::string textLanguage() const { return language.substr(0, language.find('-')); }
};
/// he on us,il typed on us; en on us,il typed on il; ru on us,ru and ar on us,ara typed on us.
/// Layouts whose Shift types combining marks, which join the space before them: en on us,ara and
/// ru on us,ru,ara typed on ara (harakat), en on us,il(lyx) typed on il(lyx) (niqqud); and hi on
/// us,in typed on us (the rewrite types Devanagari vowel signs).
const std::vector<LanguageRun>& languageRuns();

struct Sentence {
    std::vector<PlannedWord> words;
    std::vector<ExpectedWord> expected;
};
/// The lines of a text (one sentence a line, white space collapsed) that can be typed on the
/// meant group without AltGr; skipped counts the others.
std::vector<Sentence> typeableSentences(const std::filesystem::path& text, const LayoutKeys& keys,
                                        TypingPlan::Groups groups, int& skipped);

struct CellOptions {
    Pattern pattern = Pattern::wholeSentence;
    double paceMs = 60;
    std::uint64_t seed = 1;
    /// Sentences are typed, from the first, until this many words were.
    int words = 100;
    /// A sentence is over when its field has not changed for this long after the last key.
    double quietMs = 800;
};

struct CellResult {
    TypingTally tally;
    /// "meant ⇒ field" for each sentence with a damaged word.
    std::vector<std::string> damage;
    /// Empty, or why the cell stopped early (the field would not clear, ...).
    std::string failure;
};

/// The sentences perLine at a time as one.
std::vector<Sentence> joined(const std::vector<Sentence>& sentences, int perLine);

CellResult typeCell(Typist& typist, TextTarget& target, const std::vector<Sentence>& sentences,
                    TypingPlan::Groups groups, const CellOptions& options);

}  // namespace kx::bench
