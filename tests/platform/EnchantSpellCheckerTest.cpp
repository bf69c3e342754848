#include "platform/EnchantSpellChecker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace kx::platform {
namespace {

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The installed hunspell dictionaries are listed under Enchant's own tags, each once.
TEST(EnchantSpellCheckerTest, listsInstalledDictionariesByTag)
{
    EnchantSpellChecker checker;
    const std::vector<std::string> languages = checker.availableLanguages();
    EXPECT_TRUE(contains(languages, "en_US"));
    EXPECT_TRUE(contains(languages, "he_IL"));
    EXPECT_TRUE(contains(languages, "he"));  // hspell's own tag
    EXPECT_TRUE(contains(languages, "ru_RU"));
    for (const std::string& language : languages)
        EXPECT_EQ(std::count(languages.begin(), languages.end(), language), 1) << language;
}

struct CheckRow {
    const char* name;
    std::string language;
    std::string text;
    std::optional<std::size_t> misspelledAt;
};

// The first misspelled word is found by its byte offset; punctuation around words is not a word.
TEST(EnchantSpellCheckerTest, findsTheFirstMisspelledWord)
{
    const CheckRow rows[] = {
        {"english word", "en_US", "hello", std::nullopt},
        {"english typo", "en_US", "helo", 0},
        {"trailing comma", "en_US", "hello,", std::nullopt},
        {"inner apostrophe", "en_US", "don't", std::nullopt},
        {"second word wrong", "en_US", "the quick brwn fox", 10},
        {"no words at all", "en_US", "!?", std::nullopt},
        {"empty text", "en_US", "", std::nullopt},
        {"layout garbage", "en_US", "ghbdtn", 0},
        {"hebrew word", "he_IL", "\u05E9\u05DC\u05D5\u05DD", std::nullopt},
        // hspell passes any Latin word and cannot encode Cyrillic: neither is asked of it.
        {"latin in hebrew", "he_IL", "hello", 0},
        {"layout garbage in hebrew", "he", "akuo", 0},
        {"cyrillic in hebrew", "he", "\u043F\u0440\u0438\u0432\u0435\u0442", 0},
        {"latin letter inside a hebrew word", "he", "\u05E9\u05DC\u05D5\u05DDx", 0},
        {"offset after hebrew", "he_IL", "\u05E9\u05DC\u05D5\u05DD xyz", 9},
        {"hebrew digits pass", "he", "123", std::nullopt},
        {"hebrew acronym with gershayim", "he", "\u05E6\u05D4\"\u05DC", std::nullopt},
        {"quoted hebrew word", "he", "\"\u05E9\u05DC\u05D5\u05DD\"", std::nullopt},
        {"hebrew with prefixes", "he", "\u05D5\u05DC\u05DB\u05E9\u05EA\u05DC\u05DB\u05D5", std::nullopt},
        {"hebrew non-word", "he", "\u05D0\u05D1\u05D2\u05D3\u05D4", 0},
        {"russian word", "ru_RU", "\u043F\u0440\u0438\u0432\u0435\u0442", std::nullopt},
        {"russian typo", "ru_RU", "\u043F\u0440\u0435\u0432\u0435\u0442\u0442", 0},
        {"unknown language", "xx_XX", "helo", std::nullopt},
    };
    EnchantSpellChecker checker;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(checker.checkSpelling(row.text, row.language), row.misspelledAt);
    }
}

// One checker serves several threads at once without mixing their answers.
TEST(EnchantSpellCheckerTest, answersFromSeveralThreads)
{
    EnchantSpellChecker checker;
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const bool hebrew = (i + t) % 2 == 0;
                const auto found = hebrew ? checker.checkSpelling("\u05E9\u05DC\u05D5\u05DD", "he_IL")
                                          : checker.checkSpelling("helo", "en_US");
                if (found.has_value() == hebrew)
                    ++wrong[t];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace kx::platform
