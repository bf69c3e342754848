#include "engine/Script.h"
#include "engine/CorrectionMode.h"
#include "engine/WordEndMark.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

// The share of letters in the script's ranges decides; digits and punctuation never count.
TEST(ScriptTest, Matches)
{
    EXPECT_FALSE(Script(Script::latin).matches("", 0.0));
    EXPECT_TRUE(Script(Script::other).matches("abc", 1.0));
    EXPECT_TRUE(Script(Script::latin).matches("ab12", 0.85));
    EXPECT_FALSE(Script(Script::hebrew).matches("aש", 0.85));
    EXPECT_TRUE(Script(Script::latin).matches("çà", 1.0));             // U+00C0-U+024F
    EXPECT_TRUE(Script(Script::arabic).matches("\u0750\u0627", 1.0));  // both Arabic blocks
    EXPECT_TRUE(Script(Script::hebrew).matches("\u05D1\u05BC", 1.0));  // a mark counts as a letter
}

// The largest count wins, ties go to the earlier script, and no counted letter means latin.
TEST(ScriptTest, Dominant)
{
    const struct {
        const char* text;
        Script::Value script;
    } rows[] = {
        {"aש", Script::hebrew},  {"abש", Script::latin},  {"αд", Script::cyrillic},  {"बa", Script::devanagari},
        {"1234", Script::latin}, {"สวัสดี", Script::latin}, {"مرحبا", Script::arabic},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Script::Value(Script::dominant(row.text)), row.script) << row.text;
}

// Language codes map by their first two letters, in any case and with a region.
TEST(ScriptTest, ForLanguage)
{
    const struct {
        const char* code;
        Script::Value script;
    } rows[] = {
        {"HE-IL", Script::hebrew}, {"yi", Script::hebrew}, {"be_BY", Script::cyrillic},
        {"el", Script::greek},     {"fa", Script::arabic}, {"sa", Script::devanagari},
        {"", Script::latin},       {"th", Script::latin},  {"h", Script::latin},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Script::Value(Script::forLanguage(row.code)), row.script) << row.code;
}

// Exactly the 21 closing marks: both angle quotes and both kinds of quote, no hyphen or opener.
TEST(WordEndMarkTest, Scalars)
{
    const auto& marks = WordEndMark::scalars();
    EXPECT_EQ(marks.size(), 21u);
    for (char32_t c : {U'«', U'»', U'\'', U'\u2019', U'"', U'\u201D', U'.', U'\u05C3', U'\u06D4', U'\u061F'})
        EXPECT_TRUE(marks.contains(c)) << std::hex << std::uint32_t(c);
    for (char32_t c : {U'-', U'(', U'[', U'{', U'\u201C', U'\u2018', U' '})
        EXPECT_FALSE(marks.contains(c)) << std::hex << std::uint32_t(c);
}

// Stored strings: "off" is manual, raw values are exact, anything else is automatic.
TEST(CorrectionModeTest, FromStoredAndRawValues)
{
    EXPECT_EQ(CorrectionMode::fromStored("off"), CorrectionMode::manual);
    EXPECT_EQ(CorrectionMode::fromStored("ask"), CorrectionMode::ask);
    EXPECT_EQ(CorrectionMode::fromStored("Ask"), CorrectionMode::automatic);
    EXPECT_EQ(CorrectionMode::fromStored(""), CorrectionMode::automatic);
    EXPECT_EQ(CorrectionMode::fromStored(std::nullopt), CorrectionMode::automatic);
    EXPECT_EQ(CorrectionMode::fromRawValue("off"), std::nullopt);
    for (const CorrectionMode mode : CorrectionMode::allCases())
        EXPECT_EQ(CorrectionMode::fromRawValue(mode.rawValue()), mode);
}

}  // namespace
}  // namespace kx
