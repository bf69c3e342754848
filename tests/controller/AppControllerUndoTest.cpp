// Undo on the simulated desktop: the undo hot key at any time, and Ctrl+Z as the very next key
// after a rewrite, give back what was typed and the layout it was typed on.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

using platform::TapVerdict;

class UndoTest : public ControllerHarness {
protected:
    /// Types a word on the U.S. layout that is rewritten into Hebrew.
    void correctOneWord()
    {
        desk.switchLayout("us");
        desk.type("cceav ");
        queue.advance(0.2);
    }

    /// Ctrl+Z as the tap sees it: swallowed, or passed on to the application.
    TapVerdict commandZ()
    {
        return desk.eventTap().route({.type = platform::TapEventType::keyDown,
                                      .code = 6,
                                      .flags = EventFlags::command,
                                      .marked = false,
                                      .location = {}});
    }
};

// Ctrl+Z right after a correction restores the typed text and layout instead of reaching the application.
TEST_F(UndoTest, CommandZRightAfterCorrectionUndoesIt)
{
    defaults.set("kestrelix.troubleshooting", true);
    auto& app = startIn(CorrectionMode::automatic);
    correctOneWord();
    EXPECT_EQ(commandZ(), TapVerdict::swallow);
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "cceav |");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    EXPECT_EQ(statusItem.texts.back(), "undo");
    EXPECT_TRUE(logHas("undo — restoring last correction  (0 left)"));
    EXPECT_EQ(app.history().records().size(), 1u) << "an undo records no history";
    EXPECT_EQ(commandZ(), TapVerdict::pass) << "nothing left to undo";
}

// The undo hot key with nothing to undo is not ours: it reaches the application; with a
// correction to undo it is kept from it.
TEST_F(UndoTest, UndoHotKeyWithNothingToUndoReachesTheApplication)
{
    startIn(CorrectionMode::automatic);
    const platform::TapEvent undoKey{.type = platform::TapEventType::keyDown,
                                     .code = 6,
                                     .flags = EventFlags::option | EventFlags::command,
                                     .marked = false,
                                     .location = {}};
    EXPECT_EQ(desk.eventTap().route(undoKey), TapVerdict::pass);
    correctOneWord();
    EXPECT_EQ(desk.eventTap().route(undoKey), TapVerdict::swallow);
    queue.advance(0.2);
    EXPECT_EQ(field().text(), "cceav ");
    EXPECT_EQ(desk.eventTap().route(undoKey), TapVerdict::pass);
}

// An undo whose text cannot be typed back is given up before its Backspaces: the correction stays
// on screen and no "undo" is flashed.
TEST_F(UndoTest, UndoThatCannotPostDoesNotReportSuccess)
{
    auto& app = startIn(CorrectionMode::automatic);
    correctOneWord();
    const auto flashes = statusItem.texts.size();
    desk.eventPoster().untypeable = {"v"};
    EXPECT_EQ(commandZ(), TapVerdict::swallow);
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
    EXPECT_TRUE(logHas("undo — its keys could not be posted; nothing recorded"));
    EXPECT_EQ(statusItem.texts.size(), flashes) << statusItem.texts.back();
    EXPECT_FALSE(app.actuating());
}

// Ctrl+Z after another key, 12 s late or during a rewrite reaches the application; the hot key still undoes.
TEST_F(UndoTest, CommandZAfterAnotherKeyReachesTheApplication)
{
    auto& app = startIn(CorrectionMode::automatic);
    correctOneWord();
    desk.press(56, EventFlags::shift);  // Shift alone types nothing but is a key all the same
    pressUndoKey();
    queue.advance(0.2);
    EXPECT_EQ(field().text(), "cceav ");

    correctOneWord();
    desk.press(56, EventFlags::shift);
    EXPECT_EQ(commandZ(), TapVerdict::pass);

    correctOneWord();
    queue.advance(12.0 - (queue.now() - app.undoStack().top().at));
    EXPECT_EQ(commandZ(), TapVerdict::pass) << "12 s after the correction";

    desk.switchLayout("us");
    desk.type("cceav ");
    ASSERT_TRUE(app.actuating());
    EXPECT_EQ(commandZ(), TapVerdict::pass) << "while the rewrite runs";
}

// Eleven corrections keep ten entries, and an entry whose text is not before the caret is left alone.
TEST_F(UndoTest, ElevenCorrectionsKeepTenAndOnlyTheirOwnTextIsUndone)
{
    // Right after the newest is undone, the caret follows the word it gave back, not the older
    // correction's text: deleting would eat the user's text. An unreadable field is undone as it stands.
    auto& app = startIn(CorrectionMode::automatic);
    for (int i = 0; i < 11; ++i)
        correctOneWord();
    ASSERT_EQ(app.undoStack().size(), 10u);
    std::string ten;
    for (int i = 0; i < 10; ++i)
        ten += "בבקשה ";

    pressUndoKey();
    queue.advance(0.2);
    EXPECT_EQ(field().text(), ten + "cceav ");
    pressUndoKey();
    queue.advance(0.2);
    EXPECT_EQ(field().text(), ten + "cceav ");
    EXPECT_TRUE(logHas("undo — the text before the caret is not the last correction's; left alone  (9 left)"));
    EXPECT_FALSE(app.actuating());

    field().setText(ten);
    field().unreadable = true;
    pressUndoKey();
    queue.advance(0.2);
    EXPECT_EQ(field().text(), ten.substr(0, ten.size() - 11) + "cceav ");
    EXPECT_EQ(app.undoStack().size(), 8u);
}

}  // namespace
}  // namespace kx::test
