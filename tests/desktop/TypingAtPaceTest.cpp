// The real executable under a quick typist: whole sentences typed key by key on the wrong layout,
// each key still down when the next goes down, into a Qt line edit and a GTK entry. Whatever is
// corrected or not, every word must end up either as meant or as typed: a word with a letter
// lost, moved, doubled or added, or two words run together, is a fault of the rewriting.

#include "KestrelixFixture.h"
#include "engine/TranslationEngine.h"
#include "platform/KeyTable.h"

#include <fstream>
#include <iostream>
#include <sstream>

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

std::size_t occurrences(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

class TypingAtPaceTest : public test::KestrelixFixture, public ::testing::WithParamInterface<TextField::Toolkit> {
protected:
    // The program has handled the words typed, and each rewrite it began has been posted or given
    // up, and has let go of the keyboard. The first word may pass unwatched: a new window's focus can
    // move once more as the typing starts, and a word begun then is left as typed.
    bool settled(std::size_t typedWords) const
    {
        const std::string said = log();
        const std::size_t handled =
            occurrences(said, "word='") + occurrences(said, "word ignored") + occurrences(said, "word skipped");
        const std::size_t begun = occurrences(said, "[automatic] ");
        const std::size_t ended = occurrences(said, "rewrite timing: ") + occurrences(said, "rewrite abandoned") +
                                  occurrences(said, " — its keys could not be posted");
        return handled + 1 >= typedWords && ended >= begun && !test::keyboardGrabbed();
    }

    // Types the sentences meant for layout while the other layout is selected, one after another
    // with a space between, then checks every word of the field.
    void typeAndCheck(const std::vector<std::string>& sentences, const std::string& layout,
                      const OtherClient::Typing& typing)
    {
        // Its debug lines tell when the program has handled each word and ended each rewrite.
        std::ofstream(m_home / "config/kestrelix/defaults.json")
            << R"({"kestrelix.seenWalkthrough": true, "kestrelix.debugLogging": true})";
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
        // What is typed before the program knows where the keys go passes unwatched.
        ASSERT_TRUE(DesktopSession::waitFor([&] { return focusSettledOn(field.pid()); }, 3)) << log();
        const unsigned wrongGroup = layout == "il" ? 0 : 1;
        m_user->lockGroup(wrongGroup);

        std::string meant;
        for (const auto& sentence : sentences)
            meant += (meant.empty() ? "" : " ") + sentence;
        meant += " ";
        ASSERT_TRUE(m_user->typeOverlapping(meant, layout, typing));
        const auto meantWords = words(meant);
        EXPECT_TRUE(DesktopSession::waitFor([&] { return settled(meantWords.size()); }, 30))
            << "the program never told of every word and rewrite\n"
            << log();
        const auto wrong = platform::KeyTable::forLayout(layout == "il" ? "us" : "il");
        std::size_t asMeant = 0;
        std::vector<std::string> damaged;
        const auto judge = [&](const std::string& text) {
            const auto shownWords = words(text);
            asMeant = 0;
            damaged.clear();
            for (std::size_t i = 0; i < std::max(meantWords.size(), shownWords.size()); ++i) {
                const std::string want = i < meantWords.size() ? meantWords[i] : "";
                const std::string got = i < shownWords.size() ? shownWords[i] : "";
                const std::string typed =
                    TranslationEngine::transliterate(want, platform::KeyTable::forLayout(layout), wrong);
                asMeant += got == want ? 1 : 0;
                if (got != want && got != typed)
                    damaged.push_back("'" + got + "' for '" + want + "'");
            }
            return shownWords.size() == meantWords.size() && damaged.empty();
        };
        // The keys of the last rewrite may still be on their way into the field: it is read until
        // every word is there as meant or as typed, or long after it should have been.
        std::string shown;
        DesktopSession::waitFor(
            [&] {
                shown = field.text();
                return judge(shown);
            },
            10);
        const auto shownWords = words(shown);
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
