// Selection conversion on the simulated desktop: selected text typed on the wrong layout is
// replaced by the conversion the spell checker likes best, and the keyboard follows.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class SelectionTest : public ControllerHarness {
protected:
    void selectAll(const std::string& text)
    {
        field().setText(text);
        field().select(0, text::scalarCount(text));
    }
};

// Selected words typed on the wrong layout are converted, the layout follows, no sound is played.
TEST_F(SelectionTest, SelectedWrongLayoutTextIsConverted)
{
    defaults.set("kestrelix.troubleshooting", true);
    auto& app = startIn(CorrectionMode::automatic);
    selectAll("akuo jcrho");
    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "שלום חברים|");
    EXPECT_EQ(desk.inputSources().currentName(), "il");
    EXPECT_TRUE(logHas("⌥⌘K → selection"));
    EXPECT_TRUE(logHas("manual convert  English (US)→Hebrew  score 1.00"));
    EXPECT_EQ(statusItem.texts, std::vector<std::string>{"↺ → Hebrew"});
    ASSERT_EQ(app.history().records().size(), 1u);
    EXPECT_EQ(app.history().records()[0].kind, CorrectionKind::manual);
    EXPECT_TRUE(desk.sound().played().empty());
}

// A chord sent all at once reaches the program before the application has its field focused again
// after the chord's grab: the selection is read once the field shows up, not copied.
TEST_F(SelectionTest, SelectionIsReadOnceTheFieldIsFocusedAgainAfterTheChord)
{
    startIn(CorrectionMode::automatic);
    selectAll("akuo jcrho");
    field().unreadable = true;
    const auto focusBack = queue.after(0.1, [&] { field().unreadable = false; });
    desk.eventPoster().clearPosted();
    pressConvertKey();
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "שלום חברים|");
    EXPECT_TRUE(logHas("⌥⌘K → selection"));
    EXPECT_FALSE(logHas("⌥⌘K → nothing to do"));
    EXPECT_TRUE(std::ranges::none_of(desk.eventPoster().posted(), [](const platform::SyntheticKey& key) {
        return key.code == Actuator::cKey && key.text.empty();
    }));
}

// An inaccessible field in an application the user turned off is converted through a copy; the
// pasteboard comes back.
TEST_F(SelectionTest, CopyFallbackRestoresPasteboard)
{
    auto& app = startIn(CorrectionMode::automatic);
    app.policy().setEnabled(false, editor.id);
    desk.pasteboard().copyFromElsewhere({{{std::string(platform::Pasteboard::stringType), "mine"}}});
    selectAll("akuo");
    field().unreadable = true;
    pressConvertKey();
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "שלום");
    EXPECT_EQ(desk.pasteboard().string(), "mine");
}

// In a terminal Ctrl+C is an interrupt: neither the hot key with nothing to convert nor Swap
// Selection ever posts it there. The hot key only logs; the menu says what is missing.
TEST_F(SelectionTest, NoCopyChordIntoATerminal)
{
    auto& app = startIn(CorrectionMode::automatic, terminal);
    selectAll("akuo");
    field().unreadable = true;
    desk.eventPoster().clearPosted();
    pressConvertKey();
    queue.advance(0.5);
    EXPECT_TRUE(logHas("⌥⌘K → nothing to do (recent words: 0, no selection)"));
    EXPECT_TRUE(statusItem.texts.empty()) << statusItem.texts.back();

    app.convertSelection();
    queue.advance(0.5);
    EXPECT_EQ(statusItem.texts, std::vector<std::string>{"select text first"});
    EXPECT_TRUE(logHas("no copy of the selection in org.gnome.Terminal: Ctrl+C would interrupt there"));
    EXPECT_TRUE(desk.eventPoster().posted().empty()) << "a Ctrl+C went out";
    EXPECT_EQ(field().text(), "akuo");
}

// What the user is told when there is nothing to convert.
TEST_F(SelectionTest, NothingToConvertIsFlashed)
{
    struct Row {
        const char* selected;  // null: nothing selected
        const char* flash;
    };
    const Row rows[] = {
        {nullptr, "select text first"},
        {" \n ", "select text first"},
        {"12 34", "nothing to convert"},
    };
    auto& app = startIn(CorrectionMode::automatic);
    for (const auto& row : rows) {
        statusItem.texts.clear();
        if (row.selected)
            selectAll(row.selected);
        else
            field().setText("akuo");
        app.convertSelection();
        EXPECT_EQ(statusItem.texts, std::vector<std::string>{row.flash}) << (row.selected ? row.selected : "none");
    }
    desk.setLayouts({"us"});
    app.convertSelection();
    EXPECT_EQ(statusItem.texts.back(), "need 2+ layouts");
    EXPECT_TRUE(app.undoStack().empty());
}

}  // namespace
}  // namespace kx::test
