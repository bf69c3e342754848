// The real executable under a quick typist: whole sentences typed key by key on the wrong layout,
// each key still down when the next goes down, into a Qt line edit and a GTK entry. Whatever is
// corrected or not, every word must end up either as meant or as typed: a word with a letter
// lost, moved, doubled or added, or two words run together, is a fault of the rewriting.

#include "KestrelixFixture.h"
#include "engine/TranslationEngine.h"
#include "platform/KeyTable.h"

#include <chrono>
#include <iostream>
#include <sstream>
#include <thread>
#include <utility>

namespace kx {
namespace {

using test::DesktopSession;
using test::OtherClient;
using test::TextField;

// Everyday sentences written for these tests.
const std::vector<std::string> hebrew = {
    "הילדים שיחקו בחצר עד שהשמש שקעה מאחורי ההרים",
    "אני צריך לקנות לחם וחלב לפני שהחנות נסגרת",
    "המורה ביקשה מהתלמידים לכתוב חיבור קצר על החופשה",
};
const std::vector<std::string> english = {
    "the weather was cold and the children stayed inside all morning",
    "she opened the window and listened to the rain falling on the street",
    "Rhode wants to finish this report before the meeting starts tomorrow",
};

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

class TypingAtPaceTest : public test::KestrelixFixture, public ::testing::WithParamInterface<TextField::Toolkit> {
protected:
    // Types the sentences meant for layout while the other layout is selected, one after another
    // with a space between, then checks every word of the field.
    void typeAndCheck(const std::vector<std::string>& sentences, const std::string& layout,
                      const OtherClient::Typing& typing)
    {
        startKestrelix();
        if (HasFatalFailure())
            return;
        TextField field(GetParam(), "KxPace");
        if (!field.ok() && GetParam() == TextField::Toolkit::gtk)
            GTEST_SKIP() << "GTK 3 with Python bindings is not available";
        ASSERT_TRUE(field.ok());
        ASSERT_TRUE(DesktopSession::waitFor(
            [&] {
                const auto app = m_workspace->frontApplication();
                return app && app->pid == field.pid();
            },
            5));
        const unsigned wrongGroup = layout == "il" ? 0 : 1;
        m_user->lockGroup(wrongGroup);

        std::string meant;
        for (const auto& sentence : sentences)
            meant += (meant.empty() ? "" : " ") + sentence;
        meant += " ";
        ASSERT_TRUE(m_user->typeOverlapping(meant, layout, typing));
        // Settled: the same text for a second after the last key.
        std::string shown = field.text();
        DesktopSession::waitFor(
            [&] {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                const std::string now = field.text();
                return std::exchange(shown, now) == now;
            },
            10);

        const auto wrong = platform::KeyTable::forLayout(layout == "il" ? "us" : "il");
        const auto meantWords = words(meant);
        const auto shownWords = words(shown);
        std::vector<std::string> damaged;
        std::size_t asMeant = 0;
        for (std::size_t i = 0; i < std::max(meantWords.size(), shownWords.size()); ++i) {
            const std::string want = i < meantWords.size() ? meantWords[i] : "";
            const std::string got = i < shownWords.size() ? shownWords[i] : "";
            const std::string typed =
                TranslationEngine::transliterate(want, platform::KeyTable::forLayout(layout), wrong);
            asMeant += got == want ? 1 : 0;
            if (got != want && got != typed)
                damaged.push_back("'" + got + "' for '" + want + "'");
        }
        std::cout << meantWords.size() << " words: " << asMeant << " as meant, " << damaged.size() << " damaged\n";
        EXPECT_EQ(shownWords.size(), meantWords.size()) << shown;
        EXPECT_TRUE(damaged.empty()) << damaged.size() << " damaged, first " << damaged.front() << "\nshown: " << shown
                                     << "\n"
                                     << log();
    }
};

// Hebrew typed on us at 60 ms a key: corrected from the first word on, nothing damaged.
TEST_P(TypingAtPaceTest, HebrewOnTheWrongLayoutAt60ms)
{
    typeAndCheck(hebrew, "il", {.pace = 0.06, .groupBeforeEachWord = std::nullopt});
}

// English typed on il, a capital among it (Shift still down as the letter goes down).
TEST_P(TypingAtPaceTest, EnglishOnTheWrongLayoutAt60ms)
{
    typeAndCheck(english, "us", {.pace = 0.06, .groupBeforeEachWord = std::nullopt});
}

// The wrong layout selected again before every word: a rewrite and a switch for each.
TEST_P(TypingAtPaceTest, WrongLayoutBeforeEveryWordAt60ms)
{
    typeAndCheck(hebrew, "il", {.pace = 0.06, .groupBeforeEachWord = 0u});
}

// The fastest pace the tool measures.
TEST_P(TypingAtPaceTest, HebrewOnTheWrongLayoutAt40ms)
{
    typeAndCheck(hebrew, "il", {.pace = 0.04, .groupBeforeEachWord = std::nullopt});
}

INSTANTIATE_TEST_SUITE_P(Fields, TypingAtPaceTest, ::testing::Values(TextField::Toolkit::qt, TextField::Toolkit::gtk),
                         [](const auto& info) { return info.param == TextField::Toolkit::qt ? "Qt" : "Gtk"; });

}  // namespace
}  // namespace kx
