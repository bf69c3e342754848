#include "platform/x11/X11InputSources.h"

#include <gtest/gtest.h>

#include <string>

namespace kx::platform::x11 {
namespace {

using namespace std::string_literals;

// The rules-names property gives the layouts and variants in group order, variants padded to match.
TEST(RulesNames, LayoutsAndVariantsInGroupOrder)
{
    EXPECT_EQ(parseRulesNames("evdev\0pc105\0us,il\0,\0grp:alt_shift_toggle\0"s), (RulesNames{{"us", "il"}, {"", ""}}));
    EXPECT_EQ(parseRulesNames("evdev\0pc105\0us,ru,il\0dvorak,,phonetic\0\0"s),
              (RulesNames{{"us", "ru", "il"}, {"dvorak", "", "phonetic"}}));
    EXPECT_EQ(parseRulesNames("evdev\0pc105\0us,il\0\0\0"s), (RulesNames{{"us", "il"}, {"", ""}}));
    EXPECT_EQ(parseRulesNames("evdev\0pc105\0us"s), (RulesNames{{"us"}, {""}}));
    EXPECT_EQ(parseRulesNames("evdev\0pc105\0\0\0\0"s), RulesNames{});
    EXPECT_EQ(parseRulesNames(""), RulesNames{});
}

// Each group of the keymap is one source with its group as handle; unnamed groups stay unnamed.
TEST(RulesNames, OneSourcePerGroup)
{
    const RulesNames names{{"us", "il"}, {"", "lyx"}};
    EXPECT_EQ(sourcesFromRulesNames(names, 3),
              (std::vector<InputSource>{{"us", "", 0}, {"il", "lyx", 1}, {"", "", 2}}));
    EXPECT_EQ(sourcesFromRulesNames(names, 1), (std::vector<InputSource>{{"us", "", 0}}));
    EXPECT_TRUE(sourcesFromRulesNames(names, 0).empty());
}

}  // namespace
}  // namespace kx::platform::x11
