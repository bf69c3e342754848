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
        {"x abc   ", "abc ", "ab", Verdict::correct()},
        {"x ab", "abc ", "ab", Verdict::stale()},
        {"ab abc", "abc", "abc", Verdict::correct()},
        {"xyz  ", "abc", "ab", Verdict::undecided("xyz")},
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
    EXPECT_FALSE(app.pendingContext);
    EXPECT_EQ(app.history.records()[0].contextAfter, std::vector<std::string>{"תודה"});

    desk.switchLayout("us");
    desk.type("cceav ");
    queue.advance(0.2);
    desk.type("אחד ");
    desk.switchLayout("us");
    desk.type("cceav ");
    queue.advance(0.2);
    ASSERT_EQ(app.history.records().size(), 3u);
    EXPECT_TRUE(app.history.records()[1].contextAfter.empty());
    EXPECT_EQ(app.pendingContext->recordID, app.history.records()[0].id);
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
    EXPECT_EQ(app.undoStack.size(), 10u);
    EXPECT_EQ(app.undoStack.front().originalText, "cceav ");
    EXPECT_EQ(app.keyGenAtLastCorrection, app.keyGen);
}

}  // namespace
}  // namespace kx::test
