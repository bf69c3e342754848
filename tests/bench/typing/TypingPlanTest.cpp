// The typist's plans: a pace with jitter, keys held and rolling over as a typist's do, Shift
// around capitals, the layout selected as the pattern says, and the same plan for the same seed.

#include "TypingPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace kx::bench {
namespace {

using Kind = KeyEvent::Kind;

class TypingPlanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_keys = LayoutKeys::compile("us,il");
        ASSERT_TRUE(m_keys);
        m_words = *wordsOf("Little can be done, all the same", *m_keys, 0);
    }
    TypingPlan plan(Pattern pattern, double paceMs, std::uint64_t seed = 7) const
    {
        return TypingPlan::build(m_words, {.meant = 0, .wrong = 1}, pattern, paceMs, seed);
    }

    std::optional<LayoutKeys> m_keys;
    std::vector<PlannedWord> m_words;
};

TEST_F(TypingPlanTest, SplitsTheSentenceIntoWordsWithTheirKeys)
{
    ASSERT_EQ(m_words.size(), 7u);
    EXPECT_EQ(m_words[0].meant, "Little");
    EXPECT_EQ(m_words[3].meant, "done,");
    EXPECT_EQ(m_keys->textOf(m_words[3].strokes, 0), "done,");
    EXPECT_FALSE(wordsOf("   ", *m_keys, 0));
    EXPECT_FALSE(wordsOf("price ₪5", *m_keys, 1));
}

TEST_F(TypingPlanTest, EveryKeyGoesDownOnceWhileUpAndComesUpAgain)
{
    for (const double pace : {40.0, 60.0, 150.0}) {
        const TypingPlan typed = plan(Pattern::everyWord, pace);
        std::map<unsigned, bool> down;
        int spaces = 0;
        double last = 0;
        for (const KeyEvent& event : typed.events) {
            EXPECT_GE(event.atMs, last) << "events in time order";
            last = event.atMs;
            if (event.kind == Kind::press) {
                EXPECT_FALSE(down[event.value]) << "keycode " << event.value << " pressed while down at " << event.atMs;
                down[event.value] = true;
                spaces += event.endsWord >= 0 ? 1 : 0;
            } else if (event.kind == Kind::release) {
                EXPECT_TRUE(down[event.value]) << "keycode " << event.value << " released while up";
                down[event.value] = false;
            }
        }
        EXPECT_TRUE(std::ranges::none_of(down, [](const auto& key) { return key.second; })) << "a key left down";
        EXPECT_EQ(spaces, 7);
    }
}

// The capital L is typed with Shift down; the small letters after it without.
TEST_F(TypingPlanTest, ShiftIsDownForTheCapitalOnly)
{
    const TypingPlan typed = plan(Pattern::wholeSentence, 60);
    bool shift = false;
    std::vector<bool> shiftAtPress;
    for (const KeyEvent& event : typed.events) {
        if (event.kind == Kind::lockGroup)
            continue;
        if (event.value == LayoutKeys::shiftKeycode)
            shift = event.kind == Kind::press;
        else if (event.kind == Kind::press)
            shiftAtPress.push_back(shift);
    }
    ASSERT_EQ(shiftAtPress.size(), 33u);
    EXPECT_TRUE(shiftAtPress[0]);
    EXPECT_EQ(std::ranges::count(shiftAtPress, true), 1);
}

TEST_F(TypingPlanTest, SelectsTheLayoutAsThePatternSays)
{
    auto locks = [](const TypingPlan& typed) {
        std::vector<unsigned> groups;
        for (const KeyEvent& event : typed.events) {
            if (event.kind == Kind::lockGroup)
                groups.push_back(event.value);
        }
        return groups;
    };
    EXPECT_EQ(locks(plan(Pattern::wholeSentence, 60)), std::vector<unsigned>{1});
    EXPECT_EQ(locks(plan(Pattern::everyWord, 60)), std::vector<unsigned>(7, 1));

    const TypingPlan mixed = plan(Pattern::mixed, 60);
    const auto groups = locks(mixed);
    ASSERT_EQ(groups.size(), 7u);
    for (std::size_t word = 0; word < groups.size(); ++word)
        EXPECT_EQ(groups[word], mixed.onWrongLayout[word] ? 1u : 0u);
    EXPECT_TRUE(std::ranges::count(mixed.onWrongLayout, true) > 0 &&
                std::ranges::count(mixed.onWrongLayout, false) > 0);
    // The layout is selected before the word's first key.
    EXPECT_EQ(mixed.events.front().kind, Kind::lockGroup);
}

TEST_F(TypingPlanTest, KeysOverlapAtAQuickPaceAndSeldomAtASlowOne)
{
    const TypingPlan quick = plan(Pattern::wholeSentence, 40);
    const TypingPlan slow = plan(Pattern::wholeSentence, 150);
    EXPECT_EQ(quick.presses, 33);
    EXPECT_GT(quick.overlappingPresses, quick.presses / 3);
    EXPECT_GT(slow.overlappingPresses, 0);
    EXPECT_LT(slow.overlappingPresses, slow.presses / 2);
    // 33 presses, 32 gaps of 70-130 % of the pace.
    const double span = quick.events.back().atMs;
    EXPECT_GT(span, 32 * 40 * 0.7);
    EXPECT_LT(span, 32 * 40 * 1.3 + 200);
}

TEST_F(TypingPlanTest, TheSameSeedGivesTheSamePlan)
{
    EXPECT_EQ(plan(Pattern::mixed, 60, 3).events, plan(Pattern::mixed, 60, 3).events);
    EXPECT_NE(plan(Pattern::mixed, 60, 3).events, plan(Pattern::mixed, 60, 4).events);
}

TEST(TypingPatterns, HaveNames)
{
    for (const Pattern pattern : {Pattern::wholeSentence, Pattern::everyWord, Pattern::mixed})
        EXPECT_EQ(patternNamed(nameOf(pattern)), pattern);
    EXPECT_FALSE(patternNamed("sometimes"));
}

}  // namespace
}  // namespace kx::bench
