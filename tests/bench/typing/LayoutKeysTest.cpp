// The typist's key tables: which key and Shift state type a character on its layout, and what the
// same keys type on another layout, as xkbcommon compiles the layouts the X server is given.

#include "LayoutKeys.h"

#include <gtest/gtest.h>

namespace kx::bench {
namespace {

TEST(LayoutKeys, TypesTextOnTheMeantLayoutAndReadsItOnTheOther)
{
    struct Row {
        const char* layouts;
        unsigned meant;
        const char* text;
        const char* onTheOther;
    };
    const Row rows[] = {
        {"us,ru", 1, "привет", "ghbdtn"}, {"us,il", 1, "שלום", "akuo"},    {"us,il", 1, "שלך.", "akl/"},
        {"us,il", 0, "hello", "יקךךם"},   {"us,ara", 1, "مرحبا", "lvpfh"}, {"us,ru", 0, "Rhode,", "Крщвуб"},
    };
    for (const Row& row : rows) {
        const auto keys = LayoutKeys::compile(row.layouts);
        ASSERT_TRUE(keys) << row.layouts;
        EXPECT_EQ(keys->groupCount(), 2u);
        const auto strokes = keys->strokesFor(row.text, row.meant);
        ASSERT_TRUE(strokes) << row.text;
        EXPECT_EQ(keys->textOf(*strokes, row.meant), row.text);
        EXPECT_EQ(keys->textOf(*strokes, 1 - row.meant), row.onTheOther) << row.text;
    }
}

TEST(LayoutKeys, CapitalsTakeShiftAndOtherCharactersDoNot)
{
    const auto keys = LayoutKeys::compile("us,il");
    ASSERT_TRUE(keys);
    const auto strokes = keys->strokesFor("Ab1 ", 0);
    ASSERT_TRUE(strokes);
    const std::vector<Stroke> expected = {{38, true}, {56, false}, {10, false}, {LayoutKeys::spaceKeycode, false}};
    EXPECT_EQ(*strokes, expected);
}

// AltGr, the keypad and characters of no key are out of the typist's reach.
TEST(LayoutKeys, CharactersBeyondShiftCannotBeTyped)
{
    const auto keys = LayoutKeys::compile("us,il");
    ASSERT_TRUE(keys);
    EXPECT_FALSE(keys->strokesFor("₪", 1));
    EXPECT_FALSE(keys->strokesFor("a—b", 0));
    EXPECT_FALSE(keys->strokesFor("x", 2));
    EXPECT_FALSE(LayoutKeys::compile("us,no-such-layout"));
}

}  // namespace
}  // namespace kx::bench
