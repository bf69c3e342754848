// How the typing benchmark judges a field: every word as meant, as typed, or damaged, at the
// least count of changed words; and when a rewrite showed after the Space that set it off.

#include "WordScore.h"

#include <gtest/gtest.h>

namespace kx::bench {
namespace {

using enum WordOutcome;

// "Little can be done" and what its keys type on the Hebrew layout.
const std::vector<ExpectedWord> sentence = {{"Little", "Lןאאךק"}, {"can", "בשמ"}, {"be", "נק"}, {"done", "גםמק"}};

struct Row {
    const char* what;
    const char* field;
    std::vector<WordOutcome> outcomes;
    bool exact;
};

TEST(WordScore, JudgesEveryWordOfTheField)
{
    const Row rows[] = {
        {"all rewritten", "Little can be done ", {meant, meant, meant, meant}, true},
        {"all left alone", "Lןאאךק בשמ נק גםמק ", {typed, typed, typed, typed}, false},
        {"some of each", "Little בשמ be גםמק ", {meant, typed, meant, typed}, false},
        {"a letter moved", "Littl can beo done ", {damaged, meant, damaged, meant}, false},
        {"a letter lost", "Little can be dne ", {meant, meant, meant, damaged}, false},
        {"a space lost", "Little canbe done ", {meant, damaged, damaged, meant}, false},
        {"a word doubled", "Little can can be done ", {meant, damaged, meant, meant}, false},
        {"a space doubled", "Little  can be done ", {damaged, meant, meant, meant}, false},
        {"the capital lost", "little can be done ", {damaged, meant, meant, meant}, false},
        {"the last space lost", "Little can be done", {meant, meant, meant, damaged}, false},
        {"text ahead of the sentence", "x Little can be done ", {damaged, meant, meant, meant}, false},
        {"a word lost", "Little be done ", {meant, damaged, meant, meant}, false},
        {"nothing landed", "", {damaged, damaged, damaged, damaged}, false},
    };
    for (const Row& row : rows) {
        const SentenceScore score = scoreSentence(sentence, row.field);
        EXPECT_EQ(score.words, row.outcomes) << row.what;
        EXPECT_EQ(score.exact, row.exact) << row.what;
    }
}

TEST(WordScore, CountsOverSentences)
{
    TypingTally tally;
    tally.add(scoreSentence(sentence, "Little can be done "));
    tally.add(scoreSentence(sentence, "Little בשמ be dne "));
    EXPECT_EQ(tally.words, 8);
    EXPECT_EQ(tally.meant, 6);
    EXPECT_EQ(tally.typed, 1);
    EXPECT_EQ(tally.damaged, 1);
    EXPECT_EQ(tally.sentences, 2);
    EXPECT_EQ(tally.exact, 1);
}

constexpr std::int64_t ms = 1'000'000;

// A rewrite is timed from its own Space; one that reached back is timed from the Space that set
// it off; a word that was never wrong on screen, or never fixed, is not timed.
TEST(WordScore, TimesEachRewriteFromTheSpaceThatSetItOff)
{
    const std::vector<ExpectedWord> words = {{"can", "בשמ"}, {"be", "נק"}, {"done", "גםמק"}};
    const std::vector<bool> wrong = {true, true, true};
    const std::vector<std::int64_t> spaces = {100 * ms, 400 * ms, 700 * ms};
    const std::vector<Snapshot> snapshots = {
        {90 * ms, "בשמ"},      {100 * ms, "בשמ "},        {180 * ms, "can "},  // 80 ms after its Space
        {390 * ms, "can be"},  // typed on the right layout after the switch
        {400 * ms, "can be "}, {690 * ms, "can be גםמק"}, {700 * ms, "can be גםמק "},  // never rewritten
    };
    EXPECT_EQ(fixLatencies(words, wrong, spaces, snapshots), std::vector<double>{80});

    const std::vector<Snapshot> reachBack = {
        {90 * ms, "בשמ"}, {100 * ms, "בשמ "}, {390 * ms, "בשמ נק"}, {400 * ms, "בשמ נק "}, {450 * ms, "can be "}};
    EXPECT_EQ(fixLatencies(words, wrong, spaces, reachBack), (std::vector<double>{50, 50}));
}

// A key is timed to the first change after it that shows enough text: a key held behind a
// rewrite's Backspaces counts until it is typed again; a key never shown is not timed.
TEST(WordScore, TimesEachKeyToItsCharacterOnScreen)
{
    const std::vector<KeyPress> presses = {
        {10 * ms, 1},  // ש
        {50 * ms, 2},  // the Space that sets off the rewrite
        {60 * ms, 3},  // held during the rewrite
        {90 * ms, 9},  // lost
    };
    const std::vector<Snapshot> snapshots = {
        {5 * ms, ""},  {11 * ms, "ש"},  {51 * ms, "ש "},  {62 * ms, "a"},  // Backspaces under way
        {63 * ms, ""}, {70 * ms, "a "}, {75 * ms, "a b"},
    };
    EXPECT_EQ(keyLatencies(presses, snapshots), (std::vector<double>{1, 1, 15}));
}

TEST(WordScore, Percentiles)
{
    EXPECT_EQ(percentile({}, 0.5), 0);
    EXPECT_EQ(percentile({30, 10, 20}, 0.5), 20);
    EXPECT_EQ(percentile({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0.9), 9);
}

}  // namespace
}  // namespace kx::bench
