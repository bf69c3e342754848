// Marks at the edges of a word typed on the wrong layout (brackets, quotes, a colon between
// quotes) go over to the layout meant together with the word, whether the wrong layout is kept for
// the whole sentence or selected again before every word.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class WordEdgesTest : public ControllerHarness {
protected:
    WordEdgesTest() { defaults.set("kestrelix.troubleshooting", true); }

    std::vector<std::string> corrections() { return logLinesStarting("["); }

    /// Presses the keys that type text on the layout meant, whatever layout is selected, and lets
    /// each word's rewrite finish before the next word.
    void typeKeysOf(const std::string& meant, const std::string& text)
    {
        const auto keys = TranslationEngine::inverseMap(platform::KeyTable::forLayout(meant));
        for (const auto& character : text::characters(text)) {
            const auto found = keys.find(character);
            ASSERT_NE(found, keys.end()) << "no key types '" << character << "' on " << meant;
            desk.press(found->second.code, found->second.flags);
            if (character == " ")
                queue.advance(0.5);
        }
    }

    /// The sentence word by word, the wrong layout selected again before every word.
    void typeEveryWordOn(const std::string& wrong, const std::string& meant, const std::string& sentence)
    {
        for (std::size_t from = 0; from < sentence.size();) {
            const std::size_t to = sentence.find(' ', from);
            if (desk.inputSources().currentName() != wrong)
                desk.switchLayout(wrong);
            typeKeysOf(meant, sentence.substr(from, to - from + 1));
            from = to + 1;
        }
    }

    /// The sentence typed both ways on the wrong layout, a line each: the whole sentence at once,
    /// then word by word.
    void expectBothWaysAsMeant(const std::string& wrong, const std::string& meant, const std::string& sentence)
    {
        desk.switchLayout(wrong);
        typeKeysOf(meant, sentence);
        EXPECT_EQ(field().text(), sentence) << "the whole sentence on " << wrong;
        desk.press(KeyCode::return_);
        typeEveryWordOn(wrong, meant, sentence);
        EXPECT_EQ(field().text(), sentence + "\n" + sentence) << "every word on " << wrong;
    }
};

// The Hebrew layout types "(" with the key of ")": typed on the U.S. layout that key opens the word
// with ")", which the rewrite turns back into "(".
TEST_F(WordEdgesTest, HebrewOpeningBracketGoesOverWithItsWord)
{
    startIn(CorrectionMode::automatic);
    expectBothWaysAsMeant("us", "il", "לאחרים (כגון ססמאות, הודעות, כרטיסי אשראי ");
}

// The same with the Arabic layout, and a closing bracket that ends a word.
TEST_F(WordEdgesTest, ArabicOpeningBracketGoesOverWithItsWord)
{
    desk.setLayouts({"us", "ara"});
    startIn(CorrectionMode::automatic);
    expectBothWaysAsMeant("us", "ara", "كلمات (أو سرقت) من هذا الموقع ");
}

// "אתר" typed on the U.S. layout is also an Arabic word the Arabic list ranks higher; the user
// came from the Hebrew layout, so Hebrew it is.
TEST_F(WordEdgesTest, WordOfTwoLayoutsGoesToTheOneJustLeft)
{
    desk.setLayouts({"us", "il", "ara"});
    startIn(CorrectionMode::automatic);
    desk.switchLayout("il");
    queue.advance(0.5);
    desk.switchLayout("us");
    queue.advance(0.5);
    typeKeysOf("il", "אתר ");
    EXPECT_EQ(field().text(), "אתר ");
}

// The Russian layout types "Э" with the key of the U.S. quotation mark: a quoted English word
// typed there converts with its quotes.
TEST_F(WordEdgesTest, QuoteThatIsALetterOnTheWrongLayoutGoesOverWithItsWord)
{
    desk.setLayouts({"us", "ru"});
    startIn(CorrectionMode::automatic);
    expectBothWaysAsMeant("ru", "us", "Press \"Reload\" again ");
}

// Hebrew typed right and closed by a quote and a full stop or comma stays Hebrew, though those
// keys type a quote before a letter on the Arabic layout, as an acronym is written.
TEST_F(WordEdgesTest, HebrewClosedByAQuoteStays)
{
    desk.setLayouts({"us", "il", "ara"});
    startIn(CorrectionMode::automatic);
    desk.switchLayout("il");
    const std::string sentence = "שלחו \"דואל\". ושוב \"דואל\", לא ";
    typeKeysOf("il", sentence);
    EXPECT_EQ(field().text(), sentence);
    EXPECT_TRUE(corrections().empty());
}

// An Arabic word ended by the Arabic comma converts with it, word by word as well.
TEST_F(WordEdgesTest, ArabicCommaGoesOverWithItsWord)
{
    desk.setLayouts({"us", "ara"});
    startIn(CorrectionMode::automatic);
    expectBothWaysAsMeant("us", "ara", "استخدام الملف، نوصي بحذفه ");
}

// A colon between quotes typed on the Hebrew layout reads ",:,"; the colon no longer splits it, so
// both quote keys go over to the U.S. layout with the word after them.
TEST_F(WordEdgesTest, ColonBetweenQuotesGoesOverWhole)
{
    desk.setLayouts({"us", "il"});
    startIn(CorrectionMode::automatic);
    expectBothWaysAsMeant("il", "us", "failure: ':' unexpected: ");
}

// A word in brackets or quotes converts on its own, the marks with it: the marks are counted in
// the Backspaces and appear in the log line as typed and as rewritten.
TEST_F(WordEdgesTest, EnclosedWordConvertsAloneWithItsMarks)
{
    auto& app = startIn(CorrectionMode::automatic);
    typeKeysOf("il", "(בבקשה) ");
    EXPECT_EQ(field().withCaret(), "(בבקשה) |");
    desk.press(KeyCode::return_);
    desk.switchLayout("il");
    typeKeysOf("us", "\"people\" ");
    EXPECT_EQ(field().withCaret(), "(בבקשה) \n\"people\" |");
    EXPECT_EQ(corrections(),
              (std::vector<std::string>{
                  "[automatic] ')cceav(' -> '(בבקשה)'  switch → Hebrew  retro=0  del=7  [synthetic]",
                  "[automatic] '\"פקםפךק\"' -> '\"people\"'  switch → English (US)  retro=0  del=9  [synthetic]"}));
    ASSERT_EQ(app.history().records().size(), 2u);
    EXPECT_EQ(app.history().records()[1].original, ")cceav(");
    EXPECT_EQ(app.history().records()[1].corrected, "(בבקשה)");
}

// Marks after words on the wrong layout, and brackets and marks typed on the right layout, come out
// as before.
TEST_F(WordEdgesTest, MarksThatNeededNoHelpStayRight)
{
    startIn(CorrectionMode::automatic);
    typeEveryWordOn("us", "il", "שלום, עולם. ");
    desk.press(KeyCode::return_);
    typeEveryWordOn("il", "us", "hello, world. ");
    desk.press(KeyCode::return_);
    desk.switchLayout("us");
    typeKeysOf("us", "(hello) ':' world: ");
    desk.switchLayout("il");
    typeKeysOf("il", "(שלום) ':' עולם: ");
    EXPECT_EQ(field().text(), "שלום, עולם. \nhello, world. \n(hello) ':' world: (שלום) ':' עולם: ");
}

// The Hebrew layout types the apostrophe with the key of W: typed on the U.S. layout the quotes
// are letters of the word and go over with it, as they always did; the Russian layout's quotation
// mark is the key of "@", which stays in the word too.
TEST_F(WordEdgesTest, QuotesWhoseKeyTypesALetterOrSymbolStayInTheWord)
{
    desk.setLayouts({"us", "il", "ru"});
    startIn(CorrectionMode::automatic);
    typeKeysOf("il", "'בבקשה' המידע ");
    desk.press(KeyCode::return_);
    desk.switchLayout("us");
    typeKeysOf("ru", "\"привет\" как дела ");
    EXPECT_EQ(field().text(), "'בבקשה' המידע \n\"привет\" как дела ");
}

}  // namespace
}  // namespace kx::test
