// Words typed on a layout whose keys type combining marks (the Arabic layout's harakat on Shift,
// Hebrew niqqud, Devanagari vowel signs) are rewritten without losing the character before them,
// in fields whose Backspace takes a whole character cluster as in those that take one scalar.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

using Backspace = sim::SimTextField::Backspace;

class CombiningMarksTest : public ControllerHarness {
protected:
    void SetUp() override { defaults.set("kestrelix.troubleshooting", true); }

    void startWith(const std::vector<std::string>& layouts, Backspace takes)
    {
        desk.setLayouts(layouts);
        startIn(CorrectionMode::automatic);
        field().backspaceTakes = takes;
    }

    /// Presses the keys that type text on the layout meant, whatever layout is selected, and lets
    /// each word's rewrite finish before the next word. A key a scalar: vowel signs have keys of
    /// their own.
    void typeKeysOf(const std::string& meant, const std::string& text)
    {
        const auto keys = TranslationEngine::inverseMap(tableOf(meant));
        for (const char32_t scalar : text::toScalars(text)) {
            const auto found = keys.find(text::fromScalar(scalar));
            ASSERT_NE(found, keys.end()) << "no key types '" << text::fromScalar(scalar) << "' on " << meant;
            desk.press(found->second.code, found->second.flags);
            if (scalar == U' ')
                queue.advance(0.5);
        }
    }

    /// The sentence word by word, the wrong layout selected again before every word.
    void typeEveryWordOn(const std::string& wrong, const std::string& meant, const std::string& sentence)
    {
        for (std::size_t from = 0; from < sentence.size();) {
            const std::size_t to = sentence.find(' ', from);
            desk.switchLayout(wrong);
            typeKeysOf(meant, sentence.substr(from, to - from + 1));
            from = to + 1;
        }
    }

    /// What the keys that type text on meant type on wrong.
    static std::string typedOn(const std::string& wrong, const std::string& meant, const std::string& text)
    {
        const auto keys = TranslationEngine::inverseMap(tableOf(meant));
        std::string typed;
        for (const char32_t scalar : text::toScalars(text)) {
            const auto& key = keys.at(text::fromScalar(scalar));
            typed += TranslationEngine::character(key.code, key.flags, tableOf(wrong)).value_or("");
        }
        return typed;
    }

    /// The key table of a layout named as setxkbmap names it: "il(lyx)".
    static platform::KeyTable tableOf(const std::string& name)
    {
        const auto open = name.find('(');
        if (open == std::string::npos)
            return platform::KeyTable::forLayout(name);
        return platform::KeyTable::forLayout(name.substr(0, open), name.substr(open + 1, name.size() - open - 2));
    }
};

class CombiningMarksInFieldTest : public CombiningMarksTest, public ::testing::WithParamInterface<Backspace> {};

// A capital typed on the Arabic layout is a haraka that joins the space before it: the rewrite
// keeps that space, word by word and for the whole sentence at once.
TEST_P(CombiningMarksInFieldTest, EnglishCapitalsOnTheArabicLayoutKeepTheSpaceBefore)
{
    startWith({"us", "ara"}, GetParam());
    ASSERT_TRUE(text::isMark(text::toScalars(typedOn("ara", "us", "W")).front()));
    typeEveryWordOn("ara", "us", "we have gotten Wally and Sarah from Rome ");
    EXPECT_EQ(field().text(), "we have gotten Wally and Sarah from Rome ");
    desk.press(KeyCode::return_);
    desk.switchLayout("ara");
    typeKeysOf("us", "we have gotten Wally and Sarah from Rome ");
    EXPECT_EQ(field().text(), "we have gotten Wally and Sarah from Rome \nwe have gotten Wally and Sarah from Rome ");
}

TEST_P(CombiningMarksInFieldTest, RussianCapitalsOnTheArabicLayoutKeepTheSpaceBefore)
{
    startWith({"ru", "ara"}, GetParam());
    typeEveryWordOn("ara", "ru", "он спросил Что было Когда мы уехали ");
    EXPECT_EQ(field().text(), "он спросил Что было Когда мы уехали ");
}

// The Hebrew layout for niqqud types a point with Shift: English capitals typed on it.
TEST_P(CombiningMarksInFieldTest, EnglishCapitalsOnHebrewNiqqudKeepTheSpaceBefore)
{
    startWith({"us", "il(lyx)"}, GetParam());
    ASSERT_TRUE(text::isMark(text::toScalars(typedOn("il(lyx)", "us", "H")).front()));
    typeEveryWordOn("il(lyx)", "us", "people said Hello again yesterday ");
    EXPECT_EQ(field().text(), "people said Hello again yesterday ");
}

// Hindi typed on the Latin layout becomes Devanagari with its vowel signs; taking it back deletes
// exactly the Devanagari, whatever one Backspace takes of it.
TEST_P(CombiningMarksInFieldTest, HindiOnTheLatinLayoutIsUndoneExactly)
{
    startWith({"us", "in"}, GetParam());
    field().setText("ok ");
    typeEveryWordOn("us", "in", "आप पहले नहीं चुनें ");
    EXPECT_EQ(field().text(), "ok आप पहले नहीं चुनें ");
    pressCommandZ();
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "ok आप पहले नहीं " + typedOn("us", "in", "चुनें ") + "|");
}

// Undo of a rewrite whose stale text began with a haraka types it back after the space it
// joins, and the space stays.
TEST_P(CombiningMarksInFieldTest, UndoOfACapitalOnTheArabicLayoutKeepsTheSpace)
{
    startWith({"us", "ara"}, GetParam());
    typeEveryWordOn("ara", "us", "we have gotten Wally ");
    ASSERT_EQ(field().text(), "we have gotten Wally ");
    pressCommandZ();
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "we have gotten " + typedOn("ara", "us", "Wally ") + "|");
}

// The Arabic layout types a lam-alef ligature with the key of the Russian "и"; a field that keeps
// it as lam and alef still has its word rewritten, the two letters deleted.
TEST_P(CombiningMarksInFieldTest, LigatureKeptAsLettersIsRewritten)
{
    startWith({"us", "ru", "ara"}, GetParam());
    field().keepsLigaturesAsLetters = true;
    field().setText("ok ");
    typeEveryWordOn("ara", "ru", "мы видели книги ");
    EXPECT_EQ(field().text(), "ok мы видели книги ");
}

INSTANTIATE_TEST_SUITE_P(Backspaces, CombiningMarksInFieldTest,
                         ::testing::Values(Backspace::scalar, Backspace::cluster),
                         [](const auto& info) { return info.param == Backspace::scalar ? "scalar" : "cluster"; });

// Where the field cannot be read, the space before a haraka is never deleted: the mark may stay
// on it, the user's text before it does not go.
TEST_F(CombiningMarksTest, UnreadableFieldKeepsTheSpaceBeforeAHaraka)
{
    startWith({"us", "ara"}, Backspace::cluster);
    field().setText("gotten ");
    field().unreadable = true;
    desk.switchLayout("ara");
    typeKeysOf("us", "Wally ");
    EXPECT_TRUE(field().text().starts_with("gotten ")) << field().text();
    EXPECT_TRUE(field().text().ends_with("Wally ")) << field().text();
}

}  // namespace
}  // namespace kx::test
