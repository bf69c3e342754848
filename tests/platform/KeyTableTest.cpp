#include "platform/KeyTable.h"
#include "platform/LayoutCatalog.h"

#include "ScopedLog.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kx::platform {
namespace {

// macOS virtual key codes.
constexpr std::uint16_t kA = 0, kE = 14, kH = 4, kL = 37, kO = 31, kEquals = 24, kLeftBracket = 33, kGrave = 50,
                        kSemicolon = 41;

std::string typed(const KeyTable& table, unsigned modifiers = 0)
{
    std::string text;
    for (std::uint16_t code : {kH, kE, kL, kL, kO})
        text += table.text(code, modifiers);
    return text;
}

// The keys of "hello" type each layout's own letters in the same places.
TEST(KeyTableTest, RealLayoutsTypeTheirOwnLetters)
{
    EXPECT_EQ(typed(KeyTable::forLayout("us")), "hello");
    EXPECT_EQ(typed(KeyTable::forLayout("us"), KeyTable::shift), "HELLO");
    EXPECT_EQ(typed(KeyTable::forLayout("il")), "יקךךם");
    EXPECT_EQ(typed(KeyTable::forLayout("ru")), "руддщ");
    EXPECT_EQ(typed(KeyTable::forLayout("us", "dvorak")), "d.nnr");
}

// Caps Lock and Option follow xkb-data (Latin capitals under Caps Lock on Hebrew, level 3 for
// Option); dead keys type nothing, alone or shifted, and carry the accent they put on a letter.
TEST(KeyTableTest, ModifierColumnsAndDeadKeys)
{
    const KeyTable il = KeyTable::forLayout("il");
    EXPECT_EQ(il.text(kA, KeyTable::capsLock), "A");
    EXPECT_EQ(il.text(kA, KeyTable::capsLock | KeyTable::shift), "ש");
    EXPECT_EQ(KeyTable::forLayout("ru").text(kA, KeyTable::capsLock), "Ф");
    EXPECT_EQ(KeyTable::forLayout("de").text(kE, KeyTable::option), "€");
    EXPECT_EQ(KeyTable::forLayout("us").text(kA, KeyTable::option), "a");  // no level 3 there

    const KeyTable de = KeyTable::forLayout("de");
    const KeyTable fr = KeyTable::forLayout("fr");
    EXPECT_EQ(de.text(kEquals, 0), "");  // acute
    EXPECT_EQ(de.text(kGrave, 0), "");   // circumflex
    EXPECT_EQ(fr.text(kLeftBracket, 0), "");
    EXPECT_EQ(fr.text(kLeftBracket, KeyTable::shift), "");
    EXPECT_EQ(fr.text(kA, 0), "q");

    EXPECT_EQ(de.deadAccent(kEquals, 0), U'\u0301');
    EXPECT_EQ(de.deadAccent(kGrave, 0), U'\u0302');
    EXPECT_EQ(fr.deadAccent(kLeftBracket, KeyTable::shift), U'\u0308');
    EXPECT_EQ(de.deadAccent(kE, 0), 0U);  // a key that types text
    EXPECT_EQ(de.deadAccent(200, 0), 0U);
    const KeyTable gr = KeyTable::forLayout("gr");
    EXPECT_EQ(gr.deadAccent(kSemicolon, 0), U'\u0301');  // the tonos
    EXPECT_EQ(gr.deadAccent(kSemicolon, KeyTable::shift), U'\u0308');
    EXPECT_EQ(KeyTable::fromEntries({{kA, 0, {}, U'\u0301'}}).deadAccent(kA, 0), U'\u0301');
}

// A layout xkb-data lacks, or a name that is not a plain XKB name, is left out with a log line.
TEST(KeyTableTest, UnknownLayoutsAreEmptyAndLogged)
{
    const test::TempFolder folder{"kx-keytable"};
    const test::ScopedLog scoped(folder / "kestrelix.log");
    EXPECT_TRUE(KeyTable::forLayout("zz").empty());
    EXPECT_TRUE(KeyTable::forLayout("us", "nosuchvariant").empty());
    EXPECT_TRUE(KeyTable::forLayout("../../../etc/passwd").empty());
    EXPECT_TRUE(KeyTable::forLayout("").empty());
    const std::string log = scoped.text();

    EXPECT_NE(log.find("keyboard layout 'zz' is not in xkb-data; left out"), std::string::npos) << log;
    EXPECT_NE(log.find("keyboard layout 'us(nosuchvariant)' is not in xkb-data; left out"), std::string::npos);
    EXPECT_NE(log.find("keyboard layout without a plain XKB name left out"), std::string::npos);
    EXPECT_EQ(log.find("passwd"), std::string::npos);
}

// The registry gives each layout its human name and two-letter language where one exists.
TEST(LayoutCatalogTest, NamesAndLanguages)
{
    const struct {
        const char *layout, *variant, *name, *language;
    } rows[] = {
        {"us", "dvorak", "English (Dvorak)", "en"},
        {"il", "", "Hebrew", "he"},
        {"ara", "", "Arabic", "ar"},
        {"in", "", "Indian", "hi"},
        {"gr", "", "Greek", "el"},
    };
    for (const auto& row : rows) {
        const auto description = LayoutCatalog::describe(row.layout, row.variant);
        ASSERT_TRUE(description && !description->languages.empty()) << row.layout;
        EXPECT_EQ(description->name, row.name);
        EXPECT_EQ(description->languages.front(), row.language) << row.layout;
    }
    // Codes with no two-letter form stay as the registry writes them.
    const auto indian = LayoutCatalog::describe("in", "")->languages;
    EXPECT_NE(std::find(indian.begin(), indian.end(), "awa"), indian.end());
    EXPECT_FALSE(LayoutCatalog::describe("zz", ""));
    EXPECT_FALSE(LayoutCatalog::describe("us", "nosuchvariant"));
}

}  // namespace
}  // namespace kx::platform
