#include "engine/TranslationEngine.h"
#include "engine/EnclosingPunctuation.h"
#include "engine/TranslatorModifiers.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

using platform::KeyTable;

constexpr std::uint16_t kA = 0, kE = 14, kH = 4, kL = 37, kO = 31, kOne = 18, kEquals = 24, kSpace = 49, kQuote = 39,
                        kPeriod = 47, kComma = 43, kSlash = 44, kSemicolon = 41, kI = 34, kP = 35;

// Only Shift, Caps Lock and Option reach the translator, as 2, 4 and 8.
TEST(TranslatorModifiersTest, ModifierStateTable)
{
    const struct {
        std::uint64_t flags;
        std::uint32_t state;
    } rows[] = {
        {0, 0},
        {EventFlags::shift, 2},
        {EventFlags::shift | EventFlags::option, 10},
        {EventFlags::shift | EventFlags::capsLock, 6},
        {EventFlags::command | EventFlags::control | 0x800000 | 0x100, 0},  // Function and device bits
        {EventFlags::shift | (std::uint64_t(1) << 40), 2},                  // above the low 32 bits
    };
    for (const auto& row : rows)
        EXPECT_EQ(translatorModifiers(row.flags), row.state) << std::hex << row.flags;
}

class TranslationEngineTest : public ::testing::Test {
protected:
    KeyTable us = KeyTable::forLayout("us");
    KeyTable il = KeyTable::forLayout("il");
    KeyTable de = KeyTable::forLayout("de");
    KeyTable fr = KeyTable::forLayout("fr");
};

// The same keys rebuild what each layout types; Command and Control never change a character.
TEST_F(TranslationEngineTest, KeysTypeOnEveryLayout)
{
    const std::vector<KeyStroke> hello{{kH, 0}, {kE, 0}, {kL, EventFlags::command}, {kL, 0}, {kO, EventFlags::control}};
    EXPECT_EQ(TranslationEngine::reconstruct(hello, us), "hello");
    EXPECT_EQ(TranslationEngine::reconstructFaithful(hello, il), "יקךךם");
    EXPECT_EQ(TranslationEngine::reconstruct(hello, KeyTable::forLayout("ru")), "руддщ");
    EXPECT_EQ(TranslationEngine::character(200, 0, us), std::nullopt);
    EXPECT_EQ(TranslationEngine::character(kA, 0, KeyTable()), std::nullopt);
}

// A dead key types nothing alone; in a run of keys its accent goes onto the next key's character
// when the two make one, and is dropped (or fails the faithful form) when they do not.
TEST_F(TranslationEngineTest, DeadKeyBeforeAVowel)
{
    const KeyTable gr = KeyTable::forLayout("gr");
    const KeyStroke acute{kEquals, 0}, tonos{kSemicolon, 0}, dialytika{kSemicolon, EventFlags::shift};
    EXPECT_EQ(TranslationEngine::character(acute.code, acute.flags, de), std::nullopt);
    EXPECT_EQ(TranslationEngine::deadAccent(acute.code, acute.flags, de), U'\u0301');
    EXPECT_EQ(TranslationEngine::deadAccent(kE, 0, de), 0U);

    const struct {
        std::vector<KeyStroke> keys;
        const KeyTable& layout;
        std::string typed;
        std::optional<std::string> faithful;
    } rows[] = {
        {{acute, {kE, 0}}, de, "é", "é"},
        {{{kH, 0}, tonos, {kA, 0}}, gr, "ηά", "ηά"},
        {{tonos, {kE, EventFlags::shift}}, gr, "Έ", "Έ"},         // the capital takes the tonos too
        {{dialytika, tonos, {kI, 0}}, gr, "ΐ", "ΐ"},              // two accents on one vowel
        {{tonos, {kP, 0}, {kA, 0}}, gr, "πα", std::nullopt},      // a consonant takes no tonos
        {{{kA, 0}, tonos}, gr, "α", std::nullopt},                // nothing after the dead key
        {{tonos, {kSpace, 0}, {kA, 0}}, gr, " α", std::nullopt},  // a space takes no accent
        {{acute}, de, "", std::nullopt},
        {{}, de, "", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TranslationEngine::reconstruct(row.keys, row.layout), row.typed) << row.typed;
        EXPECT_EQ(TranslationEngine::reconstructFaithful(row.keys, row.layout), row.faithful) << row.typed;
    }
}

// The first stroke wins: no modifier before Shift before Option, lower key codes first.
TEST_F(TranslationEngineTest, InverseMapTieRules)
{
    const auto map = TranslationEngine::inverseMap(us);
    EXPECT_EQ(map.at("a"), (KeyStroke{kA, 0}));
    EXPECT_EQ(map.at("A"), (KeyStroke{kA, EventFlags::shift}));
    EXPECT_EQ(map.at("1"), (KeyStroke{kOne, 0}));  // Option+1 types "1" as well

    const auto small = TranslationEngine::inverseMap(KeyTable::fromEntries({
        {9, 0, "x"},
        {3, 0, "x"},
        {2, KeyTable::option, "y"},
        {1, KeyTable::shift | KeyTable::option, "y"},
        {4, 0, "ab"},       // two characters
        {5, 0, "e\u0301"},  // two scalars, one character
        {6, KeyTable::capsLock, "z"},
    }));
    EXPECT_EQ(small.at("x"), (KeyStroke{3, 0}));
    EXPECT_EQ(small.at("y"), (KeyStroke{2, EventFlags::option}));
    EXPECT_EQ(small.at("e\u0301"), (KeyStroke{5, 0}));
    EXPECT_EQ(small.count("ab") + small.count("z"), 0u);
}

// Text is retyped on another layout; what either cannot type stays as it is.
TEST_F(TranslationEngineTest, Transliterate)
{
    EXPECT_EQ(TranslationEngine::transliterate("akuo", us, il), "שלום");
    EXPECT_EQ(TranslationEngine::transliterate("שלום", il, us), "akuo");
    EXPECT_EQ(TranslationEngine::transliterate("hello 42 ☃", us, KeyTable::forLayout("ru")), "руддщ 42 ☃");
    EXPECT_EQ(TranslationEngine::transliterate("ab", us, KeyTable()), "ab");
}

// Greek's accented vowels have no key of their own: they go over as the tonos key and the vowel,
// and come back composed; a tonos key with no vowel after it stays the ";" it was.
TEST_F(TranslationEngineTest, TransliterateThroughDeadKeys)
{
    const KeyTable gr = KeyTable::forLayout("gr");
    EXPECT_EQ(TranslationEngine::transliterate("καλημέρα Έλα ΐ", gr, us), "kalhm;era ;Ela :;i");
    EXPECT_EQ(TranslationEngine::transliterate("kalhm;era ;Ela :;i", us, gr), "καλημέρα Έλα ΐ");
    EXPECT_EQ(TranslationEngine::transliterate("a; b;", us, gr), "α; β;");
    EXPECT_EQ(TranslationEngine::transliterate(";p", us, gr), ";π");  // π takes no tonos
    EXPECT_EQ(TranslationEngine::transliterate("ǎ", gr, us), "ǎ");    // no dead key for the caron

    const auto deadKeys = TranslationEngine::deadKeyMap(gr);
    EXPECT_EQ(deadKeys.at(U'\u0301'), (KeyStroke{kSemicolon, 0}));
    EXPECT_EQ(deadKeys.at(U'\u0308'), (KeyStroke{kSemicolon, EventFlags::shift}));
    EXPECT_TRUE(TranslationEngine::deadKeyMap(us).empty());
}

// Punctuation that stays one non-letter scalar on both layouts wraps a word.
TEST_F(TranslationEngineTest, EnclosingPunctuationSplit)
{
    const std::vector<KeyStroke> quoted{{kQuote, EventFlags::shift}, {kH, 0}, {kE, 0}, {kL, 0}, {kPeriod, 0}};
    EXPECT_EQ(EnclosingPunctuation::split(quoted, us, fr),
              (EnclosingPunctuation::Split{1, 1}));  // '"' and '.' are '%' and ':'
    EXPECT_EQ(EnclosingPunctuation::split(quoted, us, il), (EnclosingPunctuation::Split{1, 0}));  // '.' is 'ץ'
    const std::vector<KeyStroke> onlyPunctuation{{kComma, EventFlags::shift}, {kSlash, EventFlags::shift}};
    EXPECT_EQ(EnclosingPunctuation::split(onlyPunctuation, us, fr), (EnclosingPunctuation::Split{2, 0}));
    EXPECT_EQ(EnclosingPunctuation::split({}, us, fr), (EnclosingPunctuation::Split{0, 0}));

    const KeyTable twoScalars = KeyTable::fromEntries({{kPeriod, 0, ".."}});
    EXPECT_FALSE(EnclosingPunctuation::isEnclosingKey({kOne, 0}, us, il));
    EXPECT_FALSE(EnclosingPunctuation::isEnclosingKey({kSpace, 0}, us, il));
    EXPECT_FALSE(EnclosingPunctuation::isEnclosingKey({kEquals, 0}, us, de));  // a dead key on the target
    EXPECT_FALSE(EnclosingPunctuation::isEnclosingKey({kPeriod, 0}, us, twoScalars));
    EXPECT_FALSE(EnclosingPunctuation::isEnclosingKey({kPeriod, 0}, twoScalars, us));
}

}  // namespace
}  // namespace kx
