#include "engine/SystemSpellOracle.h"

#include "platform/EnchantSpellChecker.h"

#include <gtest/gtest.h>

#include <set>

namespace kx {
namespace {

// A checker with a given language list that knows a fixed set of words and records its checks.
class FakeSpellChecker final : public platform::SpellChecker {
public:
    explicit FakeSpellChecker(std::vector<std::string> languages, std::set<std::string> words = {})
        : m_languages(std::move(languages)), m_words(std::move(words))
    {}

    std::vector<std::string> availableLanguages() override { return m_languages; }
    std::optional<std::size_t> checkSpelling(std::string_view text, const std::string& language) override
    {
        checks.push_back(std::string(text) + "/" + language);
        return m_words.contains(std::string(text)) ? std::nullopt : std::optional<std::size_t>(0);
    }

    std::vector<std::string> checks;

private:
    std::vector<std::string> m_languages;
    std::set<std::string> m_words;
};

struct ResolveRow {
    const char* name;
    std::vector<std::string> available;
    std::string code;
    std::optional<std::string> expected;
};

// A layout code maps to the checker's language: exact, then code_ or code- per entry, then any case.
TEST(SystemSpellOracleTest, resolvesLayoutCodesInOrder)
{
    const ResolveRow rows[] = {
        {"exact beats regional", {"en_US", "en"}, "en", "en"},
        {"first regional entry", {"en_GB", "en_US"}, "en", "en_GB"},
        {"dash form in list order", {"en-AU", "en_US"}, "en", "en-AU"},
        {"upper-case code", {"ru_RU", "he_IL"}, "HE", "he_IL"},
        {"region in the code", {"he_IL"}, "he_IL", "he_IL"},
        {"unknown code", {"en_US"}, "xx", std::nullopt},
        {"empty code", {"en_US"}, "", std::nullopt},
        {"no dictionaries", {}, "en", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeSpellChecker checker(row.available);
        SystemSpellOracle oracle(checker);
        EXPECT_EQ(oracle.resolve(row.code), row.expected);
    }
}

// Weak languages are never reliable, even with a dictionary; unknown ones are neither checkable nor reliable.
TEST(SystemSpellOracleTest, judgesReliability)
{
    FakeSpellChecker checker({"en_US", "hi_IN", "ne_NP", "kok_IN", "mai", "he_IL"});
    SystemSpellOracle oracle(checker);
    EXPECT_TRUE(oracle.canCheck("hi"));
    EXPECT_FALSE(oracle.isReliable("hi"));
    EXPECT_FALSE(oracle.isReliable("HI_IN"));
    EXPECT_FALSE(oracle.isReliable("ne"));
    EXPECT_FALSE(oracle.isReliable("kok"));
    EXPECT_FALSE(oracle.isReliable("mai_IN"));
    EXPECT_TRUE(oracle.isReliable("en"));
    EXPECT_TRUE(oracle.isReliable("he"));
    EXPECT_FALSE(oracle.canCheck("ar"));
    EXPECT_FALSE(oracle.isReliable("ar"));
}

// Without a dictionary every word is misspelled and nothing is asked of the checker.
TEST(SystemSpellOracleTest, treatsUnknownLanguageWordsAsMisspelled)
{
    FakeSpellChecker checker({"en_US"}, {"hello"});
    SystemSpellOracle oracle(checker);
    EXPECT_TRUE(oracle.isMisspelled("hello", "ar"));
    EXPECT_TRUE(checker.checks.empty());
    EXPECT_EQ(oracle.frequency("hello", "en"), Frequency::noList());
}

struct SpellRow {
    const char* name;
    std::string word;
    std::string language;
    bool misspelled;
};

// Against the installed dictionaries: a lower-case proper noun passes, odd capitals do not.
TEST(SystemSpellOracleTest, judgesWordsWithInstalledDictionaries)
{
    const SpellRow rows[] = {
        {"english word", "house", "en", false},
        {"capitalised word", "House", "en", false},
        {"lower-case place name", "jerusalem", "en", false},
        {"capital inside a place name", "jeRusalem", "en", true},
        {"layout garbage", "ghbdtn", "en", true},
        {"all capitals garbage", "GHBDTN", "en", true},
        {"hebrew word", "\u05E9\u05DC\u05D5\u05DD", "he", false},
        {"hebrew garbage", "\u05E4\u05D9\u05D5\u05D5\u05D8\u05E5", "he", true},
        {"latin in hebrew", "hello", "he", true},
        {"russian word", "\u0434\u043E\u043C", "ru", false},
        {"russian garbage", "\u0440\u0443\u0449\u0448\u0449", "ru", true},
        {"no dictionary", "house", "xx", true},
    };
    SystemSpellOracle oracle(platform::SpellChecker::shared());
    oracle.warmUp({"en", "he", "ru"});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(oracle.isMisspelled(row.word, row.language), row.misspelled);
    }
}

}  // namespace
}  // namespace kx
