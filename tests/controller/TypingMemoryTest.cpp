// The words finished lately: how many are kept, what Backspace takes back, how far a run
// reaches and which words a correction gives as its context.

#include "controller/TypingMemory.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

RecentWord word(const std::string& typed, double at = 0, const std::string& layout = "us")
{
    return {.keys = {{static_cast<std::uint16_t>(typed.size()), 0}},
            .terminator = WordAssembler::Space{},
            .typed = typed,
            .layoutID = layout,
            .at = at};
}

std::vector<std::string> typed(const std::vector<RecentWord>& words)
{
    std::vector<std::string> out;
    for (const auto& w : words)
        out.push_back(w.typed);
    return out;
}

using Words = std::vector<std::string>;

// Remember keeps the newest twelve; restore takes back only the newest word with the same keys.
TEST(TypingMemory, RememberAndRestore)
{
    TypingMemory memory;
    for (int i = 0; i < 13; ++i)
        memory.remember(word(std::string(static_cast<std::size_t>(i + 1), 'a')));
    ASSERT_EQ(memory.words().size(), 12u);
    EXPECT_EQ(memory.words().front().typed, "aa");

    memory.restore(word("aa").keys);
    EXPECT_EQ(memory.words().size(), 12u) << "not the newest word's keys";
    memory.restore(memory.words().back().keys);
    EXPECT_EQ(memory.words().back().typed, std::string(12, 'a'));
    memory.forget();
    EXPECT_TRUE(memory.words().empty());
}

// The reach-back walks from the newest word and stops at the first it may not take.
TEST(TypingMemory, ReachBack)
{
    struct Row {
        const char* what;
        std::vector<RecentWord> words;
        double now;
        std::function<bool(const RecentWord&)> accept;
        Words run;
    };
    std::vector<RecentWord> fourteen;
    for (int i = 0; i < 14; ++i)
        fourteen.push_back(word(std::to_string(i)));
    const Row rows[] = {
        {"all in reach", {word("a"), word("b")}, 1.0, {}, {"a", "b"}},
        {"another layout ends it", {word("a"), word("b", 0, "il"), word("c")}, 1.0, {}, {"c"}},
        {"19.9 s old is in reach", {word("a", 0), word("b", 10)}, 19.9, {}, {"a", "b"}},
        {"20 s old is not", {word("a", 0), word("b", 10)}, 20.0, {}, {"b"}},
        {"turned down ends it",
         {word("a"), word("no"), word("c")},
         1.0,
         [](const RecentWord& w) { return w.typed != "no"; },
         {"c"}},
        {"twelve at most", fourteen, 1.0, {}, {"2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"}},
    };
    for (const Row& row : rows) {
        TypingMemory memory;
        for (const auto& w : row.words)
            memory.remember(w);
        EXPECT_EQ(typed(memory.reachBack("us", row.now, row.accept)), row.run) << row.what;
    }
}

// The context before a rewrite: the three words before the words it takes.
TEST(TypingMemory, TypedBefore)
{
    TypingMemory memory;
    EXPECT_TRUE(memory.typedBefore(0).empty());
    for (const char* w : {"a", "b", "c", "d", "e"})
        memory.remember(word(w));
    EXPECT_EQ(memory.typedBefore(0), (Words{"c", "d", "e"}));
    EXPECT_EQ(memory.typedBefore(1), (Words{"b", "c", "d"}));
    EXPECT_EQ(memory.typedBefore(3), (Words{"a", "b"}));
    EXPECT_EQ(memory.typedBefore(9), Words{});
}

}  // namespace
}  // namespace kx::test
