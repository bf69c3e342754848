// The conversion hot key over the words just typed: the run that does not read as typed is
// rewritten into the layout that reads best, in every mode, never in an always-off application.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class HotKeyTest : public ControllerHarness {
protected:
    std::vector<std::string> corrections() { return logLinesStarting("["); }
};

// Three Hebrew words typed with the U.S. layout in manual mode come back as Hebrew on the hot key.
TEST_F(HotKeyTest, ManualModeRunOfThreeWordsIsRewritten)
{
    startIn(CorrectionMode::manual);
    typeMeantFor("il", "מה שלום חברים ");
    queue.advance(2.0);
    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "מה שלום חברים |");
    EXPECT_EQ(desk.inputSources().currentName(), "il");
    EXPECT_EQ(corrections(),
              std::vector<std::string>{
                  "[manual] manual run 'nv akuo jcrho' -> 'מה שלום חברים'  → Hebrew  words=3  [synthetic]"});
    EXPECT_EQ(logLines().back(), "⌥⌘K → reach-back");
}

// The newest words that read as typed are deleted and typed again unchanged, and count as words.
TEST_F(HotKeyTest, GenuineNewestWordsAreRetypedUnchanged)
{
    startIn(CorrectionMode::manual);
    typeMeantFor("il", "שלום חברים ");
    desk.type("hello, world. ");
    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "שלום חברים hello, world. |");
    EXPECT_EQ(corrections(),
              std::vector<std::string>{"[manual] manual run 'akuo jcrho hello, world.' -> 'שלום חברים hello, world.'  "
                                       "→ Hebrew  words=4  [synthetic]"});
}

// A score of exactly one half rewrites the run; the nearest score below it (5 of 11 words) does not.
TEST_F(HotKeyTest, BestScoreMustReachOneHalf)
{
    auto& app = startIn(CorrectionMode::manual);
    desk.type("gdgdg1 ");
    typeMeantFor("il", "בבקשה ");
    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "עגעגע1 בבקשה |");

    desk.switchLayout("us");
    for (const char* word : {"שלום", "חברים", "בבקשה", "היום", "תודה"}) {
        desk.type("gdgdg1 ");
        typeMeantFor("il", std::string(word) + " ");
    }
    desk.type("gdgdg1 ");
    ASSERT_EQ(app.typingMemory().words().size(), 11u);
    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(corrections().size(), 1u);
    EXPECT_TRUE(logHas("⌥⌘K → nothing to do (recent words: 11, no selection)"));
}

// Words typed on the other layout are collected too; when the current layout reads best, they change.
TEST_F(HotKeyTest, WordsOfAnotherLayoutAreRewrittenIntoTheCurrentOne)
{
    startIn(CorrectionMode::manual);
    desk.switchLayout("il");
    typeMeantFor("us", "hello world ");
    desk.switchLayout("us");
    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "hello world |");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    EXPECT_EQ(corrections(), std::vector<std::string>{"[manual] manual run 'יקךךם 'םרךג' -> 'hello world'  "
                                                      "→ English (US)  words=2  [synthetic]"});
}

// Nothing is rewritten where correction is refused, nor over words five minutes old.
TEST_F(HotKeyTest, RefusedApplicationAndOldWordsAreLeftAlone)
{
    auto& app = startIn(CorrectionMode::manual, terminal);
    typeMeantFor("il", "מה שלום חברים ");
    pressConvertKey();
    EXPECT_EQ(field().text(), "nv akuo jcrho ");
    EXPECT_TRUE(logHas("⌥⌘K → nothing to do (recent words: 3, no selection)"));
    EXPECT_TRUE(statusItem.texts.empty()) << "no copy was tried in the terminal";

    desk.launch(editor);
    desk.activate(editor.id);
    typeMeantFor("il", "שלום ");
    queue.advance(300.0);
    EXPECT_FALSE(app.swapRecentRun());
}

}  // namespace
}  // namespace kx::test
