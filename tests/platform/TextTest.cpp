#include "platform/Text.h"

#include <gtest/gtest.h>

namespace kx::text {
namespace {

struct LengthRow {
    const char* name;
    std::string text;
    std::size_t scalars, utf16, characters;
};

// The three lengths agree with what a user sees, what Backspace removes and what text widgets count.
TEST(TextTest, countsScalarsUtf16UnitsAndCharacters)
{
    const LengthRow rows[] = {
        {"ascii", "ghbdtn", 6, 6, 6},
        {"precomposed e", "caf\u00E9", 4, 4, 4},
        {"combining acute", "cafe\u0301", 5, 5, 4},
        {"hebrew with points", "\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD", 7, 7, 4},
        {"hebrew final form", "\u05DE\u05DC\u05DA", 3, 3, 3},
        {"arabic", "\u0633\u0644\u0627\u0645", 4, 4, 4},
        {"arabic with harakat", "\u0645\u064E\u0631\u0652", 4, 4, 2},
        {"family emoji", "\U0001F468\u200D\U0001F469\u200D\U0001F467", 5, 8, 1},
        {"flag", "\U0001F1EE\U0001F1F1", 2, 4, 1},
        {"skin tone", "\U0001F44D\U0001F3FD", 2, 4, 1},
        {"carriage return line feed", "a\r\nb", 4, 4, 3},
        {"mixed scripts", "ghbdtn \u05E9\u05DC\u05D5\u05DD", 11, 11, 11},
        {"empty", "", 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(scalarCount(row.text), row.scalars);
        EXPECT_EQ(utf16Count(row.text), row.utf16);
        EXPECT_EQ(characterCount(row.text), row.characters);
        EXPECT_EQ(toScalars(row.text).size(), row.scalars);
        EXPECT_EQ(toUtf16(row.text).size(), row.utf16);
        EXPECT_EQ(fromUtf16(toUtf16(row.text)), row.text);
        EXPECT_EQ(fromScalars(toScalars(row.text)), row.text);
    }
}

// Splitting keeps each cluster whole, and the pieces join back to the text.
TEST(TextTest, splitsIntoGraphemeClusters)
{
    const std::string text = "e\u0301\U0001F44D\U0001F3FD\u05E9\u05B8\u05C1x";
    const std::vector<std::string> expected = {"e\u0301", "\U0001F44D\U0001F3FD", "\u05E9\u05B8\u05C1", "x"};
    EXPECT_EQ(characters(text), expected);
}

struct RepairRow {
    const char* name;
    std::string input, repaired;
};

// Invalid UTF-8 never crashes anything; each bad sequence reads as one U+FFFD per maximal subpart.
TEST(TextTest, repairsInvalidUtf8)
{
    const RepairRow rows[] = {
        {"stray byte",
         "a\xFF"
         "b",
         "a\uFFFD"
         "b"},
        {"truncated at end", "a\xC3", "a\uFFFD"},
        {"truncated three-byte", "\xE2\x82z", "\uFFFDz"},
        {"overlong slash", "\xC0\xAF", "\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"lone continuation in hebrew", "\u05E9\x80\u05DC", "\u05E9\uFFFD\u05DC"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(isValidUtf8(row.input));
        EXPECT_EQ(repaired(row.input), row.repaired);
        EXPECT_TRUE(isValidUtf8(repaired(row.input)));
        EXPECT_EQ(scalarCount(row.input), scalarCount(row.repaired));
        EXPECT_EQ(characters(row.input), characters(row.repaired));
        EXPECT_EQ(uppercased(row.input), uppercased(row.repaired));
        EXPECT_EQ(trimmed(row.input), row.repaired);
    }
    EXPECT_EQ(fromScalars(U"a\xD800\x110000"), "a\uFFFD\uFFFD");
    EXPECT_EQ(fromUtf16(u"\xDC00x\xD800"), "\uFFFDx\uFFFD");
    EXPECT_EQ(std::string("a\0b", 3), repaired(std::string("a\0b", 3)));
}

struct CategoryRow {
    char32_t c;
    bool letter, punctuation, symbol, digit, whitespace, whitespaceOrNewline;
};

// Each set holds the general categories the program relies on, across scripts.
TEST(TextTest, classifiesScalarsIntoCharacterSets)
{
    const CategoryRow rows[] = {
        //  scalar     letter punct  symbol digit  white  white+newline
        {U'a', true, false, false, false, false, false},
        {U'\u05DA', true, false, false, false, false, false},  // Hebrew final kaf
        {U'\u05B8', true, false, false, false, false, false},  // Hebrew point (Mn)
        {U'\u0301', true, false, false, false, false, false},  // combining acute
        {U'\u0644', true, false, false, false, false, false},  // Arabic lam
        {U'\u03C2', true, false, false, false, false, false},  // Greek final sigma
        {U'-', false, true, false, false, false, false},
        {U'\u2019', false, true, false, false, false, false},  // right single quote
        {U'\u05F4', false, true, false, false, false, false},  // Hebrew gershayim
        {U'\u060C', false, true, false, false, false, false},  // Arabic comma
        {U'+', false, false, true, false, false, false},
        {U'$', false, false, true, false, false, false},
        {U'\U0001F44D', false, false, true, false, false, false},
        {U'7', false, false, false, true, false, false},
        {U'\u0663', false, false, false, true, false, false},   // Arabic-Indic three
        {U'\u00BD', false, false, false, false, false, false},  // one half: a number, not a digit
        {U' ', false, false, false, false, true, true},
        {U'\t', false, false, false, false, true, true},
        {U'\u00A0', false, false, false, false, true, true},
        {U'\n', false, false, false, false, false, true},
        {U'\r', false, false, false, false, false, true},
        {U'\u0085', false, false, false, false, false, true},
        {U'\u2028', false, false, false, false, false, true},
        {U'\u2029', false, false, false, false, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<unsigned>(row.c));
        EXPECT_EQ(isLetter(row.c), row.letter);
        EXPECT_EQ(isPunctuation(row.c), row.punctuation);
        EXPECT_EQ(isSymbol(row.c), row.symbol);
        EXPECT_EQ(isDecimalDigit(row.c), row.digit);
        EXPECT_EQ(isWhitespace(row.c), row.whitespace);
        EXPECT_EQ(isWhitespaceOrNewline(row.c), row.whitespaceOrNewline);
    }
    // Marks are the letters that combine: accents, Devanagari vowel signs of both kinds, viramas.
    for (const char32_t mark : {U'\u0301', U'\u093F', U'\u0947', U'\u094D', U'\u05B8'})
        EXPECT_TRUE(isMark(mark) && isLetter(mark)) << static_cast<unsigned>(mark);
    for (const char32_t other : {U'a', U'\u0915', U'\u03AC', U'.', U'\u200D'})
        EXPECT_FALSE(isMark(other)) << static_cast<unsigned>(other);
}

struct CharacterRow {
    std::string character;
    bool letter, uppercase, lowercase, number;
};

// A character's properties follow its first scalar or its casing, as a user would judge them.
TEST(TextTest, judgesWholeCharacters)
{
    const CharacterRow rows[] = {
        // character        letter upper  lower  number
        {"A", true, true, false, false},        {"a", true, false, true, false},
        {"e\u0301", true, false, true, false},  {"E\u0301", true, true, false, false},
        {"\u0301", false, false, false, false},  // a lone mark is no letter
        {"\u00DF", true, false, true, false},    // ß upper-cases to SS
        {"\u01C5", true, false, false, false},   // titlecase Dž
        {"\u03A3", true, true, false, false},   {"\u05E9\u05B8", true, false, false, false},  // uncased script
        {"\u0645", true, false, false, false},  {"7", false, false, false, true},
        {"\u0663", false, false, false, true},  {"\u00BD", false, false, false, true},
        {"\u2167", false, true, false, true},  // Roman numeral eight (Nl, cased)
        {"", false, false, false, false},       {"\xFF", false, false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.character);
        EXPECT_EQ(characterIsLetter(row.character), row.letter);
        EXPECT_EQ(characterIsUppercase(row.character), row.uppercase);
        EXPECT_EQ(characterIsLowercase(row.character), row.lowercase);
        EXPECT_EQ(characterIsNumber(row.character), row.number);
    }
}

struct CaseRow {
    const char* name;
    std::string text, lower, upper;
};

// Full case mapping in the root locale: lengths may change, final sigma is chosen by position.
TEST(TextTest, mapsCaseOfWholeStrings)
{
    const CaseRow rows[] = {
        {"ascii", "Ghbdtn", "ghbdtn", "GHBDTN"},
        {"sharp s grows", "Stra\u00DFe", "stra\u00DFe", "STRASSE"},
        {"final sigma", "\u039F\u0394\u039F\u03A3", "\u03BF\u03B4\u03BF\u03C2", "\u039F\u0394\u039F\u03A3"},
        {"sigma inside and at word ends", "\u03A3\u0391\u03A3 \u03A3", "\u03C3\u03B1\u03C2 \u03C3",
         "\u03A3\u0391\u03A3 \u03A3"},
        {"dotted capital I", "\u0130", "i\u0307", "\u0130"},
        {"hebrew unchanged", "\u05E9\u05B8\u05DC\u05D5\u05DD", "\u05E9\u05B8\u05DC\u05D5\u05DD",
         "\u05E9\u05B8\u05DC\u05D5\u05DD"},
        {"mixed scripts", "Hi \u041F\u0440\u0438\u0432\u0435\u0442 \u05E9\u05DC\u05D5\u05DD",
         "hi \u043F\u0440\u0438\u0432\u0435\u0442 \u05E9\u05DC\u05D5\u05DD",
         "HI \u041F\u0420\u0418\u0412\u0415\u0422 \u05E9\u05DC\u05D5\u05DD"},
        {"combining mark kept", "e\u0301", "e\u0301", "E\u0301"},
        {"empty", "", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(lowercased(row.text), row.lower);
        EXPECT_EQ(uppercased(row.text), row.upper);
    }
}

// Trimming stops at the first and last visible character and never splits one.
TEST(TextTest, trimsWhitespaceAndNewlines)
{
    EXPECT_EQ(trimmed(" \t\n\u05E9\u05DC\u05D5\u05DD \u05DA\u00A0\u2028\r\n"), "\u05E9\u05DC\u05D5\u05DD \u05DA");
    EXPECT_EQ(trimmedWhitespace(" \ta b\n "), "a b\n");
    EXPECT_EQ(trimmed(" \n\t "), "");
    EXPECT_EQ(trimmed("\u0301 "), "\u0301");
    EXPECT_EQ(trimmed(""), "");
}

// Composition joins Latin letters and marks but leaves Hebrew points decomposed in canonical order;
// decomposition parts accented letters, also when the text grows.
TEST(TextTest, composesCanonically)
{
    EXPECT_EQ(nfc("cafe\u0301"), "caf\u00E9");
    EXPECT_EQ(nfc("\u05E9\u05C1\u05B8"), "\u05E9\u05B8\u05C1");
    EXPECT_EQ(nfc("\xFF"), "\uFFFD");
    EXPECT_EQ(nfd("caf\u00E9"), "cafe\u0301");
    EXPECT_EQ(nfd("\u03AC"), "\u03B1\u0301");  // Greek alpha with tonos
    std::string accented;
    std::string decomposed;
    for (int i = 0; i < 20; ++i) {  // twice as long decomposed: past the first buffer's room
        accented += "\u03AC";
        decomposed += "\u03B1\u0301";
    }
    EXPECT_EQ(nfd(accented), decomposed);
}

}  // namespace
}  // namespace kx::text
