#include "platform/ResourceFolder.h"
#include "platform/Text.h"

#include "TempFolder.h"

#include <gtest/gtest.h>
#include <unicode/uscript.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace kx {
namespace {

namespace fs = std::filesystem;

class ResourceFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_root / "build");
        fs::create_directories(m_root / "share" / "kestrelix");
    }

    fs::path executable() const { return m_root / "build" / "kestrelix"; }
    fs::path besideExecutable() const { return m_root / "build" / "resources"; }
    fs::path installDir() const { return m_root / "share" / "kestrelix"; }

    const test::TempFolder m_folder{"kx-resource-folder"};
    const fs::path m_root = m_folder.path();
};

// The build tree's folder wins over an installed one, so a developer's build uses its own lists;
// a link to a folder counts as the folder.
TEST_F(ResourceFolderTest, besideTheExecutableComesFirst)
{
    fs::create_directory(besideExecutable());
    EXPECT_EQ(ResourceFolder::find(executable(), installDir()), besideExecutable());
    fs::remove(besideExecutable());
    fs::create_directory_symlink(installDir(), besideExecutable());
    EXPECT_EQ(ResourceFolder::find(executable(), m_root / "absent"), besideExecutable());
}

// Without a folder beside the executable (an installed binary), the install folder is used; a
// plain file named "resources" is no folder.
TEST_F(ResourceFolderTest, installFolderIsTheFallback)
{
    EXPECT_EQ(ResourceFolder::find(executable(), installDir()), installDir());
    std::ofstream(besideExecutable()) << "not a folder";
    EXPECT_EQ(ResourceFolder::find(executable(), installDir()), installDir());
    EXPECT_EQ(ResourceFolder::find({}, installDir()), installDir());
}

// With neither candidate present the caller is told so, never handed a folder that is not there.
TEST_F(ResourceFolderTest, noFolderGivesNothing)
{
    EXPECT_EQ(ResourceFolder::find(executable(), m_root / "absent"), std::nullopt);
    EXPECT_EQ(ResourceFolder::find(executable(), {}), std::nullopt);
    EXPECT_EQ(ResourceFolder::find({}, {}), std::nullopt);
}

struct ShippedList {
    const char* language;
    UScriptCode script;
    std::set<std::string> oneLetterWords;
};

// Every list the script writes, with the script of its letters and its real one-letter words.
const std::vector<ShippedList> shippedLists = {
    {"en", USCRIPT_LATIN, {"a", "i"}},
    {"he", USCRIPT_HEBREW, {}},
    {"ar", USCRIPT_ARABIC, {"و"}},
    {"ru", USCRIPT_CYRILLIC, {"а", "в", "и", "к", "о", "с", "у", "я"}},
    {"el", USCRIPT_GREEK, {"ο", "η", "ή", "ω"}},
    {"uk", USCRIPT_CYRILLIC, {"а", "в", "є", "з", "і", "й", "о", "у", "я"}},
    {"fa", USCRIPT_ARABIC, {"و"}},
    {"de", USCRIPT_LATIN, {}},
    {"fr", USCRIPT_LATIN, {"a", "à", "y"}},
    {"es", USCRIPT_LATIN, {"a", "e", "o", "u", "y"}},
    {"hi", USCRIPT_DEVANAGARI, {"व", "न"}},
};

constexpr std::size_t maxEntries = 50000;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool isJoiner(char32_t c)
{
    return c == U'\'' || c == U'-';
}

// A word is letters (and marks) of one script, with at most single apostrophes or hyphens
// between them; this also keeps out digits, spaces and words of other scripts.
bool isWordOfScript(std::u32string_view word, UScriptCode script)
{
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (isJoiner(word[i])) {
            if (i == 0 || i + 1 == word.size() || isJoiner(word[i + 1]))
                return false;
            continue;
        }
        UErrorCode status = U_ZERO_ERROR;
        if (!text::isLetter(word[i]) || text::isDecimalDigit(word[i]) ||
            uscript_getScript(static_cast<UChar32>(word[i]), &status) != script || U_FAILURE(status))
            return false;
    }
    return true;
}

// The first fault of the list, or "" when it is sound.
std::string firstFault(const ShippedList& rules, const std::string& content)
{
    if (!text::isValidUtf8(content))
        return "not valid UTF-8";
    if (content.empty() || content.back() != '\n')
        return "empty, or the last line lacks its line feed";
    std::set<std::string> seen;
    std::istringstream lines(content);
    std::string word;
    std::size_t number = 0;
    while (std::getline(lines, word)) {
        const std::string where = "line " + std::to_string(++number) + " \"" + word + "\": ";
        if (number > maxEntries)
            return where + "more than " + std::to_string(maxEntries) + " entries";
        if (word.empty())
            return where + "blank";
        if (text::nfc(word) != word)
            return where + "not NFC";
        if (text::lowercased(word) != word)
            return where + "not lower-case (the oracle looks words up lower-cased)";
        if (!isWordOfScript(text::toScalars(word), rules.script))
            return where + "holds a character that is not a letter of the list's script";
        // A lone letter, not a lone character: a Devanagari consonant with its vowel sign is one
        // character and often a whole word (है, में).
        if (text::toScalars(word).size() == 1 && !rules.oneLetterWords.contains(word))
            return where + "a single letter that is no word of the language";
        if (!seen.insert(word).second)
            return where + "duplicate";
    }
    return "";
}

// The committed lists are what the oracle, the character model and the corpus run read: each
// must parse as clean words, or ranks shift and words never match.
TEST(ShippedResourcesTest, wordListsAreClean)
{
    const fs::path folder = KX_SOURCE_RESOURCE_DIR;
    std::set<std::string> known;
    for (const ShippedList& list : shippedLists) {
        const std::string name = std::string("freq-") + list.language + ".txt";
        known.insert(name);
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::is_regular_file(folder / name));
        EXPECT_EQ(firstFault(list, readFile(folder / name)), "");
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("freq-")) {
            EXPECT_TRUE(known.contains(name)) << name << " ships without rules in this test";
        }
    }
}

// Both images ship as PNG files; the logo and the tray glyph are drawn from them.
TEST(ShippedResourcesTest, imagesArePngFiles)
{
    const fs::path folder = KX_SOURCE_RESOURCE_DIR;
    for (const char* name : {"kestrelix_logo.png", "kestrelix_mono.png"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(readFile(folder / name).starts_with("\x89PNG\r\n\x1a\n"));
    }
}

}  // namespace
}  // namespace kx
