#include "engine/PrintedList.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

// Items print as the standard textual form of a list of strings.
TEST(PrintedList, quotesEachItemInBrackets)
{
    EXPECT_EQ(printedList({}), "[]");
    EXPECT_EQ(printedList({"ABC[en]", "Hebrew[he]"}), "[\"ABC[en]\", \"Hebrew[he]\"]");
    EXPECT_EQ(printedList({"עברית[he]"}), "[\"עברית[he]\"]");
}

// Both quote marks and the backslash are escaped; control characters as \n, \t, ... or two hex
// digits.
TEST(PrintedList, escapesQuotesBackslashesAndControls)
{
    EXPECT_EQ(printedList({"N'Ko (AZERTY)[nqo]"}), "[\"N\\'Ko (AZERTY)[nqo]\"]");
    EXPECT_EQ(printedList({"a\"b\\c"}), "[\"a\\\"b\\\\c\"]");
    EXPECT_EQ(printedList({std::string("\n\r\t\0", 4)}), "[\"\\n\\r\\t\\0\"]");
    EXPECT_EQ(printedList({"\x07\x1b\x7f"}), "[\"\\u{07}\\u{1B}\\u{7F}\"]");
}

}  // namespace
}  // namespace kx
