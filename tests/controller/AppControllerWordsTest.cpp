// Word handling on the simulated desktop: what is remembered, what is judged, how a rewrite's
// text is built, and how far it reaches back over earlier words.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class WordsTest : public ControllerHarness {
protected:
    std::vector<std::string> corrections() { return logLinesStarting("["); }
};

// A secret-looking word is not context; it ends the context and drops a pending orphan.
TEST_F(WordsTest, SecretEndsContextAndDropsOrphan)
{
    defaults.set("kestrelix.troubleshooting", true);
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    queue.advance(0.2);
    desk.type("תודה 1234 ");
    EXPECT_FALSE(app.correctionContext().pending());
    EXPECT_EQ(app.history().records()[0].contextAfter, std::vector<std::string>{"תודה"});

    desk.type("שך");
    desk.switchLayout("us");
    desk.type("5");
    EXPECT_TRUE(app.repairs().orphan());
    desk.type("678 ");
    EXPECT_FALSE(app.repairs().orphan());
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "בבקשה תודה 1234 שך5678 ");
}

// Manual mode judges nothing: not even the debug line of the word is written.
TEST_F(WordsTest, ManualModeWritesNoWordLine)
{
    defaults.set("kestrelix.debugLogging", true);
    startIn(CorrectionMode::manual);
    desk.type("cceav ");
    EXPECT_TRUE(logLinesStarting("word=").empty());
}

// The debug lines of a word left alone name the layout, the others and what they would read.
TEST_F(WordsTest, DebugLinesOfAWordLeftAlone)
{
    defaults.set("kestrelix.debugLogging", true);
    startIn(CorrectionMode::automatic);
    desk.type("hello ");
    EXPECT_TRUE(logHas("word='hello' layout=English (US)[en] others=1 app=org.gnome.gedit"));
    EXPECT_TRUE(logHas("no correction for 'hello' — misspelledHere=false alts=[he:'יקךךם']"));
}

// With a single enabled layout words are remembered, never judged, and no refusal is logged.
TEST_F(WordsTest, SingleLayoutOnlyRemembers)
{
    defaults.set("kestrelix.debugLogging", true);
    desk.setLayouts({"us"});
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "cceav ");
    EXPECT_EQ(app.typingMemory().words().size(), 1u);
    EXPECT_TRUE(logLinesStarting("skip").empty());
}

// The thirteenth word pushes out the oldest.
TEST_F(WordsTest, TwelveWordsAreRemembered)
{
    auto& app = startIn(CorrectionMode::manual);
    for (int i = 0; i < 13; ++i)
        desk.type("w" + std::string(1, static_cast<char>('a' + i)) + " ");
    ASSERT_EQ(app.typingMemory().words().size(), 12u);
    EXPECT_EQ(app.typingMemory().words().front().typed, "wb");
    EXPECT_EQ(app.typingMemory().words().back().typed, "wm");
}

// A word 20 s old is no longer carried along; one a moment younger is.
TEST_F(WordsTest, ReachBackStopsAtTwentySeconds)
{
    startIn(CorrectionMode::automatic);
    typeMeantFor("il", "כן ");
    queue.advance(19.9);
    typeMeantFor("il", "בבקשה ");
    queue.advance(0.2);
    EXPECT_EQ(field().text(), "כן בבקשה ");

    desk.switchLayout("us");
    typeMeantFor("il", "כן ");
    queue.advance(20.0);
    typeMeantFor("il", "בבקשה ");
    queue.advance(0.2);
    EXPECT_EQ(field().text(), "כן בבקשה fi בבקשה ");
}

// The walk stops at the first word that does not convert.
TEST_F(WordsTest, ReachBackStopsAtAGenuineWord)
{
    startIn(CorrectionMode::automatic);
    desk.type("fi hello cceav ");
    queue.advance(0.2);
    EXPECT_EQ(field().text(), "fi hello בבקשה ");
    EXPECT_EQ(corrections(),
              std::vector<std::string>{"[automatic] 'cceav' -> 'בבקשה'  switch → Hebrew  retro=0  del=6  [synthetic]"});
}

// The reach-back takes at most twelve earlier words into a rewrite.
TEST_F(WordsTest, ReachBackTakesAtMostTwelveWords)
{
    startIn(CorrectionMode::automatic);
    desk.type("1 2 3 4 5 6 7 8 9 10 11 12 13 cceav ");
    queue.advance(0.2);
    EXPECT_EQ(field().text(), "1 2 3 4 5 6 7 8 9 10 11 12 13 בבקשה ");
    EXPECT_EQ(corrections(), std::vector<std::string>{"[automatic] '2 3 4 5 6 7 8 9 10 11 12 13 cceav' -> "
                                                      "'2 3 4 5 6 7 8 9 10 11 12 13 בבקשה'  switch → Hebrew  "
                                                      "retro=12  del=34  [synthetic]"});
}

// Words typed in another application are no part of a run, even when the desktop never told of
// the switch; nor does the hot key reach back to them.
TEST_F(WordsTest, UnannouncedSwitchEndsTheRun)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("1 2 ");
    desk.launch(firefox);
    desk.workspace().announcesActivation = false;
    desk.activate(firefox.id);
    desk.type("cceav ");
    queue.advance(0.2);
    EXPECT_EQ(field().text(), "בבקשה ");
    EXPECT_EQ(corrections(),
              std::vector<std::string>{"[automatic] 'cceav' -> 'בבקשה'  switch → Hebrew  retro=0  del=6  [clipboard]"});

    desk.activate(editor.id);
    EXPECT_FALSE(app.swapRecentRun());
    EXPECT_EQ(field().text(), "1 2 ");
}

// A word Backspace brings back is the word in progress again, no longer a finished one: typed
// to its end once more, it is remembered once.
TEST_F(WordsTest, WordRestoredByBackspaceIsRememberedOnce)
{
    startIn(CorrectionMode::manual);
    desk.type("akuo \b ");
    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "שלום |");
}

// In ask mode the word is remembered before its suggestion is armed.
TEST_F(WordsTest, AskModeRemembersTheWord)
{
    auto& app = startIn(CorrectionMode::ask);
    desk.type("cceav ");
    ASSERT_TRUE(app.suggestionPending());
    ASSERT_EQ(app.typingMemory().words().size(), 1u);
    EXPECT_EQ(app.typingMemory().words()[0].typed, "cceav");
    EXPECT_EQ(field().text(), "cceav ");
}

// A word ended by a mark is rewritten with what the mark's key types on the target layout.
TEST_F(WordsTest, MarkTerminatorTakesTheTargetCharacter)
{
    startIn(CorrectionMode::automatic);
    desk.type("cceav/");
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "בבקשה.|");
    EXPECT_EQ(corrections(), std::vector<std::string>{
                                 "[automatic] 'cceav/' -> 'בבקשה.'  switch → Hebrew  retro=0  del=6  [synthetic]"});
}

// Shift reaches the mark's key on the target too: "?" typed for the Russian comma becomes ",",
// on the word itself and on an earlier word taken into the rewrite ("njn?" is "тот,").
TEST_F(WordsTest, ShiftedMarkTakesTheShiftedTargetCharacter)
{
    desk.setLayouts({"us", "ru"});
    startIn(CorrectionMode::automatic);
    desk.type("ghbdtn? ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "привет, |");
    desk.switchLayout("us");
    desk.type("db;e njn? rjnjhsq ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "привет, вижу тот, который |");
}

}  // namespace
}  // namespace kx::test
