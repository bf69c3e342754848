// Repairs on the simulated desktop: keys left in the old layout when the user switched layouts
// mid-word, a first key the application still read through the old layout after our own switch,
// and a space an application swallowed after a paste. Each is made only when the screen shows it.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class RepairsTest : public ControllerHarness {
protected:
    std::vector<std::string> corrections() { return logLinesStarting("["); }
};

// Two keys on the U.S. layout, a switch to Hebrew, the rest of the word: the whole word is Hebrew.
TEST_F(RepairsTest, OrphanKeysAreJoinedToTheWord)
{
    defaults.set("kestrelix.troubleshooting", true);
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("ak");
    desk.switchLayout("il");
    desk.type("ום ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "שלום |");
    EXPECT_EQ(corrections(), std::vector<std::string>{
                                 "[automatic] orphan 'ak' + 'ום' -> 'שלום'  del=5  [synthetic]  screen confirmed"});
    EXPECT_EQ(statusItem.texts, std::vector<std::string>{"↺ שלום"});
    ASSERT_EQ(app.history().records().size(), 1u);
    EXPECT_EQ(app.history().records()[0].kind, CorrectionKind::orphan);
    EXPECT_EQ(app.history().records()[0].fromLayout, "Hebrew");
    EXPECT_EQ(app.undoStack().top().originalText, "akום ");
}

// A quick typist's first keys in the new layout can come before the desktop's notice of the
// switch: the keys tell their layout, and the word before the switch is still the orphan.
TEST_F(RepairsTest, OrphanOfASwitchWhoseNoticeComesLate)
{
    startIn(CorrectionMode::automatic);
    desk.type("ak");
    desk.switchLayout("il", 0.2);
    desk.type("ום ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "שלום |");
    EXPECT_EQ(corrections(), std::vector<std::string>{
                                 "[automatic] orphan 'ak' + 'ום' -> 'שלום'  del=5  [synthetic]  screen confirmed"});
}

// Retyping the orphan's keys at the start of the word removes the orphan.
TEST_F(RepairsTest, RetypedOrphanKeysAreRemoved)
{
    startIn(CorrectionMode::automatic);
    desk.type("cc");
    desk.switchLayout("il");
    desk.type("בבקשה ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
    EXPECT_EQ(statusItem.texts, std::vector<std::string>{"↺ removed cc"});
}

// Orphan keys before a word that is itself rewritten go with that rewrite.
TEST_F(RepairsTest, OrphanGoesWithTheWordsOwnRewrite)
{
    startIn(CorrectionMode::automatic);
    desk.type("ak");
    desk.switchLayout("il");
    typeMeantFor("us", "hello ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "hello |");
    EXPECT_TRUE(logHas("orphan 'ak' removed with the rewrite"));
}

// Five keys, a 10 s old orphan, a screen already showing the joined word, or one showing neither
// text (its Backspaces would eat what the user sees) leave the text alone.
TEST_F(RepairsTest, OrphanIsLeftAloneWhenItDoesNotCount)
{
    defaults.set("kestrelix.debugLogging", true);
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("akuoa");
    desk.switchLayout("il");
    EXPECT_FALSE(app.repairs().orphan());
    desk.switchLayout("us");
    desk.type(" ak");
    desk.switchLayout("il");
    queue.advance(10.0);
    desk.type("ום ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "akuoa akום ");

    desk.switchLayout("us");
    desk.type("ak");
    desk.switchLayout("il");
    desk.type("ום ");
    field().setText("שלום ");  // the application caught up with the switch by itself
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "שלום ");
    EXPECT_TRUE(logHas("orphan 'ak' — screen already reads 'שלום', app kept up"));

    desk.switchLayout("us");
    desk.type("ak");
    desk.switchLayout("il");
    desk.type("ום ");
    field().setText("שלום טוב ");  // a key typed meanwhile by another way
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "שלום טוב ");
    EXPECT_TRUE(logHas("orphan repair abandoned: the text before the caret reads '…ום טוב', not '…akום'"));
    EXPECT_TRUE(corrections().empty());
    EXPECT_FALSE(app.actuating());
}

// A browser's first key that landed in the old layout after our switch is repaired with its word.
TEST_F(RepairsTest, StaleFirstKeyInBrowserIsRepaired)
{
    // The pasted repair then watches the next word's first key; an unreadable screen is left alone.
    defaults.set("kestrelix.debugLogging", true);
    auto& app = startIn(CorrectionMode::automatic, firefox);
    // The browser reads the rewrite's Space, the Shift tap and the next key through the old layout.
    field().keysOnOldLayout = 3;
    desk.type("cceav ");
    queue.advance(0.2);
    desk.type("שלום ");
    EXPECT_EQ(field().text(), "בבקשה aלום ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה שלום |");
    EXPECT_EQ(corrections().back(), "[automatic] orphan 'a' + 'לום' -> 'שלום'  del=5  [clipboard]  screen confirmed");
    ASSERT_TRUE(app.repairs().staleExpectation());
    EXPECT_EQ(app.repairs().staleExpectation()->armedBy, AppController::StaleArm::paste);

    field().unreadable = true;
    desk.type("טוב ");
    queue.advance(1.0);
    EXPECT_EQ(field().text(), "בבקשה שלום טוב ");
    EXPECT_TRUE(logHas("orphan 'y' — paste-armed, screen unreadable: leaving it"));
    EXPECT_FALSE(app.actuating());
}

// A space a browser swallowed after a paste is restored, but never twice in a row.
TEST_F(RepairsTest, SpaceSwallowedAfterPasteIsRestoredOnce)
{
    defaults.set("kestrelix.troubleshooting", true);
    auto& app = startIn(CorrectionMode::automatic, firefox);
    field().swallowsSpaceAfterPaste = true;
    desk.type("cceav ");
    queue.advance(2.0);  // past the watch on the next first key
    desk.type("שלום ");
    EXPECT_EQ(field().text(), "בבקשהשלום ");
    desk.eventPoster().clearPosted();
    queue.advance(0.5);
    EXPECT_TRUE(logHas("space after the paste collapsed — re-typing 'שלום' with it  [clipboard]"));
    // Pasted back after a space, the trailing Space typed as a key, which this browser swallows again.
    EXPECT_EQ(field().text(), "בבקשה שלום");
    EXPECT_EQ(desk.eventPoster().posted()[12].code, Actuator::spaceKey);
    EXPECT_EQ(statusItem.texts.back(), "↺ space");
    EXPECT_EQ(app.history().records()[0].corrected, "בבקשה שלום");

    desk.type("טוב ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "בבקשה שלוםטוב ");
    EXPECT_TRUE(logHas("space after the re-typed word collapsed again in firefox — leaving it"));
}

// Only trailing U+0020 blanks go.
TEST(TrimTrailingSpaces, RemovesBlanksOnly)
{
    EXPECT_EQ(AppController::trimTrailingSpaces("word  "), "word");
    EXPECT_EQ(AppController::trimTrailingSpaces("word \t"), "word \t");
    EXPECT_EQ(AppController::trimTrailingSpaces("   "), "");
}

}  // namespace
}  // namespace kx::test
