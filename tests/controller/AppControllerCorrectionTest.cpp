// Scenarios of the corrector on the simulated desktop: words typed on the wrong layout are
// rewritten, the layout follows, and everything else is left alone.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class CorrectionTest : public ControllerHarness {
protected:
    CorrectionTest() { defaults.set("kestrelix.troubleshooting", true); }

    std::vector<std::string> corrections() { return logLinesStarting("["); }
};

// The swap sound waits for the end of the rewrite: it never plays while the user's keys are held.
TEST_F(CorrectionTest, SwapSoundPlaysOnlyAfterTheKeyboardIsReleased)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    queue.advance(0.1);
    ASSERT_EQ(field().withCaret(), "בבקשה |");
    ASSERT_TRUE(app.actuating());
    EXPECT_TRUE(desk.sound().played().empty());

    queue.advance(0.1);
    EXPECT_FALSE(app.actuating());
    EXPECT_EQ(desk.sound().played().size(), 1u);
}

// A Hebrew word typed with the U.S. layout becomes Hebrew; the layout, undo, history and flash follow.
TEST_F(CorrectionTest, WrongLayoutWordIsRewrittenAndRecorded)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    EXPECT_TRUE(app.actuating());
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
    EXPECT_EQ(desk.inputSources().currentName(), "il");
    EXPECT_EQ(corrections(),
              std::vector<std::string>{"[automatic] 'cceav' -> 'בבקשה'  switch → Hebrew  retro=0  del=6  [synthetic]"});
    ASSERT_EQ(app.undoStack().size(), 1u);
    EXPECT_EQ(app.undoStack().entries()[0].insertedText, "בבקשה ");
    EXPECT_EQ(app.undoStack().entries()[0].originalText, "cceav ");
    EXPECT_EQ(app.undoStack().entries()[0].previousLayout.localizedName, "English (US)");
    ASSERT_EQ(app.history().records().size(), 1u);
    const auto& record = app.history().records()[0];
    EXPECT_EQ(record.original, "cceav");
    EXPECT_EQ(record.corrected, "בבקשה");
    EXPECT_EQ(record.appName, "Text Editor");
    EXPECT_EQ(record.kind, CorrectionKind::auto_);
    EXPECT_EQ(statusItem.texts, std::vector<std::string>{"↺ cceav → בבקשה"});
    EXPECT_EQ(desk.sound().played().size(), 1u);
    EXPECT_TRUE(app.typingMemory().words().empty());
    EXPECT_FALSE(app.actuating());

    // The flash gives way to the glyph; the switch held, so nothing more is logged.
    queue.advance(2.0);
    EXPECT_EQ(statusItem.title, "");
    EXPECT_EQ(corrections().size(), 1u);
    EXPECT_TRUE(logLinesStarting("switch DID NOT hold").empty());
}

// A Hebrew sentence typed with the U.S. layout is fixed as it goes, the short words carried along.
TEST_F(CorrectionTest, HebrewSentenceIsFixedWordByWord)
{
    auto& app = startIn(CorrectionMode::automatic);
    typeMeantFor("il", "מה שלום ");
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "מה שלום |");
    typeMeantFor("il", "החברים שלך היום ");
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "מה שלום החברים שלך היום |");
    EXPECT_EQ(corrections(), std::vector<std::string>{
                                 "[automatic] 'nv akuo' -> 'מה שלום'  switch → Hebrew  retro=1  del=8  [synthetic]"});
    EXPECT_EQ(statusItem.texts, std::vector<std::string>{"↺ fixed 2 words → Hebrew"});
    EXPECT_EQ(app.history().records()[0].kind, CorrectionKind::retro);
    EXPECT_EQ(app.history().records()[0].contextAfter, (std::vector<std::string>{"החברים", "שלך", "היום"}));
}

// A long wrong-layout word takes the short words and the figure before it into its rewrite.
TEST_F(CorrectionTest, ReachBackTakesShortWordsAndFigures)
{
    auto& app = startIn(CorrectionMode::automatic);
    typeMeantFor("il", "כן 30 זה בבקשה ");
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "כן 30 זה בבקשה |");
    EXPECT_EQ(corrections(),
              std::vector<std::string>{
                  "[automatic] 'fi 30 zv cceav' -> 'כן 30 זה בבקשה'  switch → Hebrew  retro=3  del=15  [synthetic]"});
    EXPECT_EQ(app.history().records()[0].retroCount, 3);

    // The rewritten words are gone from memory: the next word cannot reach back over them.
    EXPECT_TRUE(app.typingMemory().words().empty());
    EXPECT_FALSE(app.assembler().lastEmitted);
}

// English typed with the Hebrew layout comes back as English; Backspaces count scalars, not bytes.
TEST_F(CorrectionTest, EnglishTypedOnHebrewComesBack)
{
    desk.setLayouts({"il", "us"});
    startIn(CorrectionMode::automatic);
    typeMeantFor("us", "hello world ");
    queue.advance(0.2);
    const auto& posted = desk.eventPoster().posted();
    const auto backspaces = std::ranges::count_if(posted, [](const auto& e) { return e.code == 51 && e.down; });
    EXPECT_EQ(backspaces, 6);
    EXPECT_EQ(field().withCaret(), "hello world |");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    EXPECT_EQ(corrections(), std::vector<std::string>{
                                 "[automatic] 'יקךךם' -> 'hello'  switch → English (US)  retro=0  del=6  [synthetic]"});
}

// Real words on the layout they were typed on are never touched.
TEST_F(CorrectionTest, GenuineWordsAreLeftAlone)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("see you there, it is fine. ");
    desk.switchLayout("il");
    desk.type("שלום לכם, תודה רבה ");
    queue.advance(1.0);
    EXPECT_EQ(field().text(), "see you there, it is fine. שלום לכם, תודה רבה ");
    EXPECT_TRUE(corrections().empty());
    EXPECT_TRUE(app.undoStack().empty());
}

// A word that looks like a password is neither judged nor remembered.
TEST_F(CorrectionTest, SecretLookingWordIsSkipped)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("Hunter2Hunter2 ");
    queue.advance(1.0);
    EXPECT_TRUE(app.typingMemory().words().empty());
    EXPECT_EQ(field().text(), "Hunter2Hunter2 ");
}

// Which typed words look like secrets.
TEST(LooksSecret, ByLengthAndCharacterClasses)
{
    struct Row {
        const char* word;
        bool secret;
    };
    const Row rows[] = {
        {"1234", true},           {"٣٤٥٦", true},                                    // numbers of any script
        {"123", false},           {"passwordpass", false}, {"password1abc", false},  // lowercase and digits only
        {"password1ab!", true},   {"Password1abc", true},  {"Password1ab", false},   // 11 characters
        {"סיסמהסיסמה12!", false},  // letters without case are neither lower nor upper
    };
    for (const auto& row : rows)
        EXPECT_EQ(AppController::looksSecret(row.word), row.secret) << row.word;
}

// Manual mode remembers words for the hot key but never judges them.
TEST_F(CorrectionTest, ManualModeOnlyRemembers)
{
    auto& app = startIn(CorrectionMode::manual);
    desk.type("cceav ");
    queue.advance(1.0);
    EXPECT_EQ(field().text(), "cceav ");
    ASSERT_EQ(app.typingMemory().words().size(), 1u);
    EXPECT_EQ(app.typingMemory().words()[0].typed, "cceav");
    EXPECT_TRUE(corrections().empty());
}

// An always-off application is never corrected, though its words are remembered.
TEST_F(CorrectionTest, AlwaysOffApplicationIsNeverCorrected)
{
    defaults.set("kestrelix.debugLogging", true);
    auto& app = startIn(CorrectionMode::automatic, terminal);
    desk.type("cceav ");
    queue.advance(1.0);
    EXPECT_EQ(field().text(), "cceav ");
    EXPECT_EQ(app.typingMemory().words().size(), 1u);
    EXPECT_TRUE(logHas("skip — correction not allowed in org.gnome.Terminal"));
}

// A browser gets the text pasted, the trailing space typed as a key, then a Shift tap.
TEST_F(CorrectionTest, BrowserGetsPasteThenSpaceKeyThenShift)
{
    auto& app = startIn(CorrectionMode::automatic, firefox);
    desk.pasteboard().copyFromElsewhere({{{std::string(platform::Pasteboard::stringType), "mine"}}});
    desk.eventPoster().clearPosted();
    desk.type("cceav ");
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
    EXPECT_EQ(corrections(),
              std::vector<std::string>{"[automatic] 'cceav' -> 'בבקשה'  switch → Hebrew  retro=0  del=6  [clipboard]"});
    const auto& posted = desk.eventPoster().posted();
    ASSERT_EQ(posted.size(), 12u + 2 + 2 + 2);
    EXPECT_EQ(posted[12].code, Actuator::vKey);
    EXPECT_EQ(posted[14].code, Actuator::spaceKey);
    EXPECT_EQ(posted[16], (platform::SyntheticKey{
                              .code = 56, .flags = EventFlags::shift, .down = true, .text = {}, .marked = true}));
    EXPECT_EQ(posted[17], (platform::SyntheticKey{.code = 56, .flags = 0, .down = false, .text = {}, .marked = true}));
    ASSERT_TRUE(app.repairs().lastPaste());
    EXPECT_EQ(app.repairs().lastPaste()->text, "בבקשה");
    // Our own switch in a browser: its next keys may still land in the old layout for a moment.
    ASSERT_TRUE(app.repairs().staleExpectation());
    EXPECT_EQ(app.repairs().staleExpectation()->new_.localizedName, "Hebrew");

    queue.advance(0.2);
    EXPECT_EQ(desk.pasteboard().string(), "mine");
}

}  // namespace
}  // namespace kx::test
