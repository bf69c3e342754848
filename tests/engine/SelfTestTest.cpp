#include "engine/SelfTest.h"

#include "platform/HeadlessInputSources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace kx {
namespace {

std::vector<std::string> selfTestLines(const std::string& layouts)
{
    platform::HeadlessInputSources sources(layouts, "");
    std::ostringstream out;
    SelfTest::run(out, sources);
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// With one layout the run says so and stops.
TEST(SelfTest, needsTwoLayouts)
{
    const std::vector<std::string> expected{"enabled layouts: [\"English (US)[en]\"]",
                                            "need >= 2 enabled keyboard layouts"};
    EXPECT_EQ(selfTestLines("us"), expected);
}

// A layout name with an apostrophe is listed with it escaped, as in the standard list form.
TEST(SelfTest, escapesApostrophesInLayoutNames)
{
    const std::vector<std::string> expected{"enabled layouts: [\"N\\'Ko (AZERTY)[nqo]\"]",
                                            "need >= 2 enabled keyboard layouts"};
    EXPECT_EQ(selfTestLines("gn"), expected);
}

// With English and Hebrew every step runs, in order.
TEST(SelfTest, runsEveryStepInOrder)
{
    const std::vector<std::string> lines = selfTestLines("us,il");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "enabled layouts: [\"English (US)[en]\", \"Hebrew[he]\"]");
    EXPECT_EQ(lines[1], "[A→other] typed via English (US): 'akuo'");
    EXPECT_EQ(lines[2], "  via Hebrew: 'שלום'");
    std::vector<std::string> blocks;
    for (const std::string& line : lines) {
        if (line.starts_with("[") || line.starts_with("  terminator"))
            blocks.push_back(line.substr(0, line.find_first_of("]'") + 1));
    }
    const std::vector<std::string> expected{
        "[A→other]",
        "[other→A]",
        "[retro]",
        "[manual]",
        "[manual]",
        "[mark-terminated]",
        "[mark-terminated-2]",
        "  terminator '",
        "[retro]",
        "[proper-noun]",
        "[run]",
        "[run]",
        "[run]",
        "[run]",
        "[run]",
        "[punct-as-letter]",
        "[retro]",
    };
    EXPECT_EQ(blocks, expected);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  DECISION: 'יקךךם' -> 'hello'  (switch to English (US))"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  terminator '/' → Hebrew: '.'"), lines.end());
    EXPECT_EQ(lines.back(), "  'vch,v' -> 'הביתה'  (convert)");
}

// A third layout shows in every scenario's view of the keys.
TEST(SelfTest, listsEveryOtherLayout)
{
    const std::vector<std::string> lines = selfTestLines("us,il,ru");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], "  via Hebrew: 'שלום'");
    EXPECT_EQ(lines[3], "  via Russian: 'флгщ'");
}

}  // namespace
}  // namespace kx
