// The pieces around a rewrite: the screen judgement, the switch check, the context after a
// correction and the limits of the undo stack and the recent words.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

using Verdict = AppController::ScreenVerdict;

class SpanTest : public ControllerHarness {
protected:
    std::optional<Verdict> judge(AppController& app, const std::string& correct, const std::string& stale)
    {
        std::optional<Verdict> verdict;
        app.judgeScreen(correct, stale, 1, [&](Verdict v) { verdict = v; });
        queue.advance(0.5);
        return verdict;
    }
};

// A word the application did not get whole is not rewritten: the Backspaces would take the text
// before it. The field, the layout and the undo stack stay as they were.
TEST_F(SpanTest, RewriteIsAbandonedWhenTheFieldDoesNotEndWithTheWord)
{
    auto& app = startIn(CorrectionMode::automatic);
    typeMeantFor("il", "בבקשה");
    field().setText("ok ccav");  // a key of the word never landed
    desk.type(" ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "ok ccav |");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    EXPECT_TRUE(app.undoStack().empty());
    EXPECT_FALSE(app.actuating());
    EXPECT_EQ(logLinesStarting("rewrite abandoned").size(), 1u);
}

// The window the word was typed in goes right after the Space, and the next window, whose text
// cannot be read, takes the focus: none of the rewrite lands there, and it is abandoned.
TEST_F(SpanTest, RewriteIsAbandonedWhenTheFocusLeftTheWindowOfTheWord)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.eventPoster().focus = [&]() -> std::optional<platform::FocusWindow> {
        const auto front = desk.workspace().frontApplication();
        return front ? std::optional<platform::FocusWindow>(front->pid) : std::nullopt;
    };
    auto& bystander = desk.launch(firefox);
    bystander.setText("bystander text");
    bystander.unreadable = true;
    typeMeantFor("il", "בבקשה");
    desk.type(" ");
    desk.activate(firefox.id);
    queue.advance(0.5);
    EXPECT_EQ(bystander.text(), "bystander text");
    EXPECT_EQ(desk.field(editor.id).text(), "cceav ");
    EXPECT_TRUE(app.undoStack().empty());
    EXPECT_FALSE(app.actuating());
    EXPECT_EQ(logLinesStarting("rewrite abandoned: the keyboard focus left").size(), 1u);
}

// An application a little behind with the word's last keys is waited for: the screen is read
// again, and the rewrite goes ahead once the word is there.
TEST_F(SpanTest, RewriteWaitsForAnApplicationBehindWithTheWord)
{
    auto& app = startIn(CorrectionMode::automatic);
    typeMeantFor("il", "בבקשה");
    desk.type(" ");
    field().setText("cce");  // the application has not shown "av " yet
    queue.advance(0.1);
    EXPECT_TRUE(app.undoStack().empty());
    field().setText("cceav ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
    EXPECT_TRUE(logLinesStarting("rewrite abandoned").empty());
}

// The screen is judged by how it ends, trailing blanks ignored, the correct text first unless it
// is the end of the stale one.
TEST_F(SpanTest, JudgeScreenComparesTheEndOfTheField)
{
    struct Row {
        const char* screen;
        const char* correct;
        const char* stale;
        Verdict expected;
    };
    const Row rows[] = {
        {"x abc   ", "abc ", "ab", Verdict::correct()}, {"x ab", "abc ", "ab", Verdict::stale()},
        {"ab abc", "abc", "abc", Verdict::correct()},   {"xyz  ", "abc", "ab", Verdict::undecided("xyz")},
        {"x ccab ", "ab ", "ccab ", Verdict::stale()},  // the right text ends the stale one
        {"x ab ", "ab ", "ccab ", Verdict::correct()},
    };
    auto& app = startIn(CorrectionMode::automatic);
    for (const auto& row : rows) {
        field().setText(row.screen);
        EXPECT_EQ(judge(app, row.correct, row.stale), row.expected) << row.screen;
    }
}

// An unreadable field is read twice, 0.25 s apart, then left undecided.
TEST_F(SpanTest, JudgeScreenRetriesOnceWhenUnreadable)
{
    auto& app = startIn(CorrectionMode::automatic);
    field().setText("abc");
    field().unreadable = true;
    std::optional<Verdict> verdict;
    app.judgeScreen("abc", "ab", 1, [&](Verdict v) { verdict = v; });
    queue.runUntilIdle();
    EXPECT_FALSE(verdict);
    field().unreadable = false;
    queue.advance(0.25);
    EXPECT_EQ(verdict, Verdict::correct());

    verdict.reset();
    field().unreadable = true;
    app.judgeScreen("abc", "ab", 1, [&](Verdict v) { verdict = v; });
    queue.advance(0.25);
    EXPECT_EQ(verdict, Verdict::undecided(std::nullopt));
}

// The words after a correction complete its record; a second correction replaces the first's
// context, which then expires unrecorded.
TEST_F(SpanTest, ContextAfterCorrection)
{
    defaults.set("kestrelix.troubleshooting", true);
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    queue.advance(0.2);
    desk.type("תודה ");
    queue.advance(15.0);
    EXPECT_FALSE(app.correctionContext().pending());
    EXPECT_EQ(app.history().records()[0].contextAfter, std::vector<std::string>{"תודה"});

    desk.switchLayout("us");
    desk.type("cceav ");
    queue.advance(0.2);
    desk.type("אחד ");
    desk.switchLayout("us");
    desk.type("cceav ");
    queue.advance(0.2);
    ASSERT_EQ(app.history().records().size(), 3u);
    EXPECT_TRUE(app.history().records()[1].contextAfter.empty());
    EXPECT_EQ(app.correctionContext().pending()->recordID, app.history().records()[0].id);
}

// The undo stack keeps the last 10 corrections.
TEST_F(SpanTest, UndoStackKeepsTen)
{
    auto& app = startIn(CorrectionMode::automatic);
    for (int i = 0; i < 11; ++i) {
        desk.switchLayout("us");
        desk.type(i == 0 ? "t,v " : "cceav ");
        queue.advance(0.2);
    }
    EXPECT_EQ(app.undoStack().size(), 10u);
    EXPECT_EQ(app.undoStack().entries().front().originalText, "cceav ");
    pressCommandZ();
    queue.advance(0.5);
    EXPECT_EQ(app.undoStack().size(), 9u) << "Command-Z takes back the newest";
}

// A span whose target is its own layout rewrites the text without switching or touching the
// stale-key expectation.
TEST_F(SpanTest, SpanOnItsOwnLayoutOnlyRewrites)
{
    auto& app = startIn(CorrectionMode::automatic, firefox);
    desk.switchLayout("il");
    const auto english = app.registry().layouts[0];
    app.selectLayoutFromMenu(english.id);
    const auto selections = desk.inputSources().selections().size();
    field().setText("teh ");
    AppController::SpanCorrection span;
    span.logLine = "'teh' -> 'the'";
    span.from = english;
    span.target = english;
    span.frontID = firefox.id;
    span.deleteCount = 4;
    span.insertText = "the ";
    span.originalText = "teh ";
    span.decisionOriginal = "teh";
    span.decisionCorrected = "the";
    app.performSpanCorrection(span);
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "the |");
    EXPECT_EQ(desk.inputSources().selections().size(), selections);
    ASSERT_TRUE(app.repairs().staleExpectation());
    EXPECT_EQ(app.repairs().staleExpectation()->wordStartsLeft, 2);
}

// Outside clipboard applications our own switch ends an earlier stale-key expectation.
TEST_F(SpanTest, OwnSwitchInEditorClearsStaleExpectation)
{
    // Armed by a menu switch in the browser; the rewrite is planned for the editor.
    auto& app = startIn(CorrectionMode::automatic, firefox);
    const auto english = app.registry().layouts[0];
    const auto hebrew = app.registry().layouts[1];
    app.selectLayoutFromMenu(hebrew.id);
    ASSERT_TRUE(app.repairs().staleExpectation());
    field().setText("יקךךם ");
    AppController::SpanCorrection span;
    span.logLine = "'יקךךם' -> 'hello'";
    span.from = hebrew;
    span.target = english;
    span.frontID = editor.id;
    span.deleteCount = 6;
    span.insertText = "hello ";
    span.originalText = "יקךךם ";
    app.performSpanCorrection(span);
    queue.advance(0.2);
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    EXPECT_FALSE(app.repairs().staleExpectation());
}

// A layout that did not take is logged 0.3 s after the switch, and nothing more is done.
TEST_F(SpanTest, SwitchThatDoesNotHoldIsLogged)
{
    auto& app = startIn(CorrectionMode::automatic);
    auto russian = app.registry().layouts[1];
    russian.id = "xkb:ru";
    russian.localizedName = "Russian";
    russian.source = {.layout = "ru", .variant = {}, .handle = 7};
    app.verifySwitch(russian, editor.id);
    queue.advance(0.29);
    EXPECT_TRUE(logLinesStarting("switch DID NOT hold").empty());
    queue.advance(0.01);
    EXPECT_TRUE(logHas("switch DID NOT hold after 300ms: wanted Russian, have English (US) in org.gnome.gedit"));
}

// With debug logging, the words around a correction are logged: the three words before it.
TEST_F(SpanTest, ContextLinesInDebugLog)
{
    defaults.set("kestrelix.debugLogging", true);
    startIn(CorrectionMode::automatic);
    desk.type("so I said it cceav ");
    queue.advance(0.2);
    EXPECT_TRUE(logHas("  context before: 'I', 'said', 'it'"));
    desk.type("תודה ");
    queue.advance(15.0);
    EXPECT_TRUE(logHas("  context after: 'תודה'"));
}

// A paste is remembered, trailing blanks removed; in debug mode a screen that does not show it
// is logged with the last 12 characters of each side.
TEST_F(SpanTest, PasteCheckRemembersAndLogsAMismatch)
{
    defaults.set("kestrelix.debugLogging", true);
    auto& app = startIn(CorrectionMode::automatic, firefox);
    field().setText("the quick brown fox ");
    app.verifyPasteLanded("jumps over the lazy dog  ", firefox.id, true);
    queue.runUntilIdle();
    ASSERT_TRUE(app.repairs().lastPaste());
    EXPECT_EQ(app.repairs().lastPaste()->text, "jumps over the lazy dog");
    EXPECT_EQ(app.repairs().lastPaste()->app, firefox.id);
    EXPECT_TRUE(app.repairs().lastPaste()->repair);
    EXPECT_TRUE(logHas("screen after paste reads '…ck brown fox', expected '…the lazy dog' (may not be updated yet)"));

    field().setText("over the lazy dog ");
    app.verifyPasteLanded("the lazy dog ", firefox.id, false);
    queue.runUntilIdle();
    EXPECT_EQ(logLinesStarting("screen after paste").size(), 1u);
}

}  // namespace
}  // namespace kx::test
