#include "engine/FrequencyOracle.h"
#include "engine/PrefixedForm.h"

#include "ScopedLog.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace kx {
namespace {

namespace fs = std::filesystem;

// A fallback that knows which languages it can check and which words exist, and records warm-ups.
class FakeOracle final : public LanguageOracle {
public:
    std::set<std::string> languages;
    std::set<std::string> words;
    std::vector<std::string> warmedUp;
    int misspellingQuestions = 0;

    bool canCheck(const std::string& language) override { return languages.contains(language); }
    bool isMisspelled(const std::string& word, const std::string&) override
    {
        ++misspellingQuestions;
        return !words.contains(word);
    }
    bool isReliable(const std::string& language) override { return languages.contains(language); }
    void warmUp(const std::vector<std::string>& codes) override
    {
        warmedUp.insert(warmedUp.end(), codes.begin(), codes.end());
    }
    Frequency frequency(const std::string&, const std::string&) override { return Frequency::noList(); }
};

// The list holds exactly these words, at these ranks.
void expectRanks(const FrequencyList& list, const std::map<std::string, int>& expected)
{
    EXPECT_EQ(list.size(), expected.size());
    for (const auto& [word, rank] : expected)
        EXPECT_EQ(list.rank(word), rank) << word;
}

class FrequencyOracleTest : public ::testing::Test {
protected:
    void writeList(const std::string& language, const std::string& contents)
    {
        std::ofstream(m_folder / ("freq-" + language + ".txt"), std::ios::binary) << contents;
    }

    const test::TempFolder m_lists{"kx-frequency"};
    const fs::path m_folder = m_lists.path();
    FakeOracle m_fallback;
};

// Ranks are line numbers: blank lines count, lines are trimmed, the first occurrence wins.
TEST_F(FrequencyOracleTest, ranksWordsByTheirFirstLine)
{
    writeList("en", "the\n  of\t\n\nand\n\u00A0to\u3000\nthe\nof\n");
    const auto list = FrequencyList::load("en", m_folder);
    ASSERT_TRUE(list);
    expectRanks(*list, {{"the", 1}, {"of", 2}, {"and", 4}, {"to", 5}});
    EXPECT_EQ(list->rank("th"), std::nullopt);
    EXPECT_EQ(list->rank("thee"), std::nullopt);
    EXPECT_EQ(list->rank("The"), std::nullopt);
}

// Every platform line break ends a line (CR LF once); other control characters stay in the word.
TEST_F(FrequencyOracleTest, splitsAtEveryLineBreakAndTrimsOnlyHorizontalSpace)
{
    writeList("en", "a\r\nb\rc\u0085d\u2028e\u2029f\ng\vh\fi");
    const auto list = FrequencyList::load("en", m_folder);
    ASSERT_TRUE(list);
    expectRanks(*list, {{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}, {"f", 6}, {"g\vh\fi", 7}});
}

// A list without words, or one that is not UTF-8, does not load.
TEST_F(FrequencyOracleTest, rejectsEmptyAndUndecodableLists)
{
    writeList("aa", "\n \n\t\n");
    writeList("bb", "");
    writeList("cc", "word\n\xC3\x28\n");
    EXPECT_FALSE(FrequencyList::load("aa", m_folder));
    EXPECT_FALSE(FrequencyList::load("bb", m_folder));
    EXPECT_FALSE(FrequencyList::load("cc", m_folder));
    EXPECT_FALSE(FrequencyList::load("dd", m_folder));
}

// Only a regular file within the size limit is read, so a FIFO, a link to a device or a huge
// file costs no hang and no memory: the list is unavailable, and the log says why.
TEST_F(FrequencyOracleTest, refusesOddAndOversizedFilesAtOnce)
{
    const test::ScopedLog log(m_folder / "kestrelix.log");
    ASSERT_EQ(::mkfifo((m_folder / "freq-he.txt").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", m_folder / "freq-ru.txt");
    writeList("en", "the\nof\nand\n");
    EXPECT_FALSE(FrequencyList::load("he", m_folder));
    EXPECT_FALSE(FrequencyList::load("ru", m_folder));
    EXPECT_FALSE(FrequencyList::load("en", m_folder, 10));
    EXPECT_TRUE(FrequencyList::load("en", m_folder, 11));
    EXPECT_FALSE(FrequencyList::fileText("en", m_folder, 10));

    FrequencyOracle oracle(m_fallback, m_folder);
    EXPECT_EQ(oracle.frequency("probe", "he").kind, Frequency::Kind::noList);
    const std::string logged = log.text();
    EXPECT_NE(logged.find("word list " + (m_folder / "freq-he.txt").string() + " not used: not a regular file"),
              std::string::npos);
    EXPECT_NE(logged.find("freq-ru.txt not used: not a regular file"), std::string::npos);
    EXPECT_NE(logged.find("freq-en.txt not used: larger than 10 bytes"), std::string::npos);
}

// Codes with regions or capitals share their two-letter list.
TEST_F(FrequencyOracleTest, keysListsByTheFirstTwoLetters)
{
    writeList("he", "\u05E9\u05DC\u05D5\u05DD\n");
    writeList("en", "colour\n");
    FrequencyOracle oracle(m_fallback, m_folder);
    EXPECT_EQ(oracle.frequency("\u05E9\u05DC\u05D5\u05DD", "he_IL"), Frequency::ranked(1));
    EXPECT_EQ(oracle.frequency("\u05E9\u05DC\u05D5\u05DD", "HE"), Frequency::ranked(1));
    EXPECT_EQ(oracle.frequency("colour", "en-GB"), Frequency::ranked(1));
    EXPECT_EQ(FrequencyOracle::key("he_IL"), "he");
}

// Looked-up words are lower-cased; list lines are not, so a capitalised line never matches.
TEST_F(FrequencyOracleTest, lowerCasesTheWordButNotTheList)
{
    writeList("en", "the\nParis\nhouse\n");
    FrequencyOracle oracle(m_fallback, m_folder);
    EXPECT_EQ(oracle.frequency("THE", "en"), Frequency::ranked(1));
    EXPECT_EQ(oracle.frequency("House", "en"), Frequency::ranked(3));
    EXPECT_EQ(oracle.frequency("Paris", "en"), Frequency::absent());
    EXPECT_EQ(oracle.frequency("paris", "en"), Frequency::absent());
}

// A list that writes ё as е still ranks the word written with ё; one that lists ё finds it as is.
TEST_F(FrequencyOracleTest, findsYoWrittenAsYe)
{
    writeList("ru", "еще\nвсё\nее\n");
    FrequencyOracle oracle(m_fallback, m_folder);
    EXPECT_EQ(oracle.frequency("ещё", "ru"), Frequency::ranked(1));
    EXPECT_EQ(oracle.frequency("Её", "ru"), Frequency::ranked(3));
    EXPECT_EQ(oracle.frequency("всё", "ru"), Frequency::ranked(2));
    EXPECT_EQ(oracle.frequency("все", "ru"), Frequency::absent()) << "е is not read as ё";
}

// A language with a list is checkable and reliable; its ranked words skip the fallback.
TEST_F(FrequencyOracleTest, answersFromTheListWhereOneLoads)
{
    writeList("he", "\u05E9\u05DC\u05D5\u05DD\n");
    m_fallback.words = {"\u05D0\u05D1\u05D0"};
    FrequencyOracle oracle(m_fallback, m_folder);
    EXPECT_TRUE(oracle.canCheck("he"));
    EXPECT_TRUE(oracle.isReliable("he"));
    EXPECT_FALSE(oracle.isMisspelled("\u05E9\u05DC\u05D5\u05DD", "he"));
    EXPECT_EQ(m_fallback.misspellingQuestions, 0);
    // An absent word is the fallback's to judge.
    EXPECT_FALSE(oracle.isMisspelled("\u05D0\u05D1\u05D0", "he"));
    EXPECT_TRUE(oracle.isMisspelled("\u05D0\u05D1\u05D2", "he"));
    EXPECT_EQ(m_fallback.misspellingQuestions, 2);
}

// A list that fails to load leaves every answer to the fallback, and is not tried again.
TEST_F(FrequencyOracleTest, remembersFailedLoads)
{
    writeList("en", "\n\n");
    m_fallback.languages = {"en"};
    FrequencyOracle oracle(m_fallback, m_folder);
    EXPECT_EQ(oracle.frequency("word", "en"), Frequency::noList());
    EXPECT_TRUE(oracle.canCheck("en"));
    EXPECT_TRUE(oracle.isReliable("en"));
    EXPECT_FALSE(oracle.canCheck("ru"));
    EXPECT_FALSE(oracle.isReliable("ru"));
    writeList("en", "word\n");
    writeList("ru", "word\n");
    EXPECT_EQ(oracle.frequency("word", "en"), Frequency::noList());
    EXPECT_EQ(oracle.frequency("word", "ru"), Frequency::noList());
}

// Without a folder every question goes to the fallback.
TEST_F(FrequencyOracleTest, passesEverythingOnWithoutAFolder)
{
    writeList("en", "word\n");
    m_fallback.languages = {"en"};
    m_fallback.words = {"word"};
    FrequencyOracle oracle(m_fallback, std::nullopt);
    EXPECT_EQ(oracle.frequency("word", "en"), Frequency::noList());
    EXPECT_TRUE(oracle.canCheck("en"));
    EXPECT_FALSE(oracle.canCheck("de"));
    EXPECT_FALSE(oracle.isMisspelled("word", "en"));
    EXPECT_EQ(m_fallback.misspellingQuestions, 1);
    oracle.warmUp({"en", "he"});
    EXPECT_EQ(m_fallback.warmedUp, (std::vector<std::string>{"en", "he"}));
}

// Warm-up loads each list once, so a list that appears afterwards is not picked up, and passes every code on.
TEST_F(FrequencyOracleTest, warmUpLoadsListsAndForwardsCodes)
{
    writeList("en", "word\n");
    FrequencyOracle oracle(m_fallback, m_folder);
    oracle.warmUp({"en_US", "he"});
    fs::remove(m_folder / "freq-en.txt");
    writeList("he", "\u05E9\u05DC\u05D5\u05DD\n");
    EXPECT_EQ(oracle.frequency("word", "en"), Frequency::ranked(1));
    EXPECT_EQ(oracle.frequency("\u05E9\u05DC\u05D5\u05DD", "he"), Frequency::noList());
    EXPECT_EQ(m_fallback.warmedUp, (std::vector<std::string>{"en_US", "he"}));
}

// Hebrew and Arabic words behind joined prefixes: up to three, longest remainder first, never
// leaving fewer than three letters; other languages have none.
TEST(PrefixedFormTest, takesJoinedPrefixesOff)
{
    EXPECT_EQ(PrefixedForm::stems("וכשהבית", "he"), (std::vector<std::string>{"כשהבית", "שהבית", "הבית"}));
    EXPECT_EQ(PrefixedForm::stems("הספר", "he"), std::vector<std::string>{"ספר"});
    EXPECT_TRUE(PrefixedForm::stems("שמג", "he").empty());
    EXPECT_EQ(PrefixedForm::stems("والكتاب", "ar"), (std::vector<std::string>{"الكتاب", "كتاب", "تاب"}));
    EXPECT_EQ(PrefixedForm::stems("للمكان", "ar"), (std::vector<std::string>{"لمكان", "مكان"}));
    EXPECT_TRUE(PrefixedForm::stems("and", "en").empty());
    EXPECT_TRUE(PrefixedForm::stems("вход", "ru").empty());
}

// A prefixed form is ranked after every listed word, in the order of the listed word behind it,
// only when the spell checker knows the whole form.
TEST_F(FrequencyOracleTest, ranksPrefixedFormsTheSpellCheckerKnows)
{
    writeList("he", "שלום\nספר\nבית\n");
    writeList("en", "and\nhouse\n");
    m_fallback.words = {"והספר", "בבית"};
    FrequencyOracle oracle(m_fallback, m_folder);
    EXPECT_EQ(oracle.frequency("והספר", "he"), Frequency::ranked(3 + 2));
    EXPECT_EQ(oracle.frequency("בבית", "he"), Frequency::ranked(3 + 3));
    EXPECT_FALSE(oracle.isMisspelled("והספר", "he"));
    // Unknown to the spell checker, or nothing ranked behind the prefixes.
    EXPECT_EQ(oracle.frequency("כספר", "he"), Frequency::absent());
    EXPECT_EQ(oracle.frequency("ובגד", "he"), Frequency::absent());
    m_fallback.words.insert("ahouse");
    EXPECT_EQ(oracle.frequency("ahouse", "en"), Frequency::absent());
}

}  // namespace
}  // namespace kx
