// The event tap: keys held during a rewrite, the program's own events, mouse-downs, layout
// switches, Secure Input and the Command-Z gate.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

using platform::TapEvent;
using platform::TapEventType;
using platform::TapVerdict;

constexpr std::uint16_t keyA = 0, keyK = 40;

class TapTest : public ControllerHarness {
protected:
    TapVerdict route(TapEvent event) { return desk.eventTap().route(event); }
    static TapEvent key(std::uint16_t code, std::uint64_t flags = 0)
    {
        return {.type = TapEventType::keyDown, .code = code, .flags = flags, .marked = false, .location = {}};
    }

    /// Whether keys typed during a rewrite into app are still held just after it was posted; checks
    /// that they land in order in the end.
    bool stillHoldingAfterRewrite(const sim::SimApplication& app, bool acknowledging)
    {
        desk.eventPoster().acknowledging = acknowledging;
        auto& controller = startIn(CorrectionMode::automatic, app);
        typeMeantFor("il", "בבקשה ");
        desk.type("ok");
        // The 0.04 s before the rewrite, and the rewrite itself.
        queue.advance(0.1);
        const bool holding = controller.actuating();
        queue.advance(0.3);
        EXPECT_EQ(field().withCaret(), "בבקשה םל|");
        EXPECT_FALSE(controller.actuating());
        return holding;
    }

    /// In the browser, which gets its rewrites pasted: a rewrite to undo with its paste and its
    /// context, a word to reach back to, keys left in the old layout by a switch, a word in
    /// progress and a suggestion by the pointer.
    void fillPendingStates(AppController& app)
    {
        desk.type("akuo ");
        pressConvertKey();
        queue.advance(0.5);
        typeMeantFor("us", "hello ab");
        desk.switchLayout("us");
        desk.type("cd");
        desk.pointer().where = {100, 100};
        app.armSuggestion({});
        queue.runUntilIdle();
        ASSERT_EQ(app.undoStack().size(), 1u);
        ASSERT_TRUE(app.correctionContext().pending());
        ASSERT_TRUE(app.repairs().lastPaste());
        ASSERT_TRUE(app.repairs().orphan());
    }
};

// Keys typed while a rewrite is posted are held, then replayed in typing order after it.
TEST_F(TapTest, KeysDuringRewriteAreHeldAndReplayedInOrder)
{
    auto& app = startIn(CorrectionMode::automatic);
    typeMeantFor("il", "בבקשה ");
    EXPECT_TRUE(app.actuating());
    desk.type("ok");
    EXPECT_EQ(app.hold().keys().size(), 2u);
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה םל|");
    EXPECT_FALSE(app.actuating());
    EXPECT_TRUE(app.hold().keys().empty());
}

// Where the desktop acknowledges our keys, the held keys follow a typed rewrite at once; else,
// and after a paste (the application has yet to read the pasteboard), 0.12 s later.
TEST_F(TapTest, AcknowledgedTypedRewriteLetsTheHeldKeysGoAtOnce)
{
    EXPECT_FALSE(stillHoldingAfterRewrite(editor, true));
}

TEST_F(TapTest, UnacknowledgedRewriteKeepsTheHeldKeysForItsTail)
{
    EXPECT_TRUE(stillHoldingAfterRewrite(editor, false));
}

TEST_F(TapTest, PastedRewriteKeepsTheHeldKeysForItsTail)
{
    EXPECT_TRUE(stillHoldingAfterRewrite(firefox, true));
}

// A key that reached the field before the hold is taken back and typed again after the rewrite,
// so it lands once, after the rewritten word; one that types nothing is left where it landed.
TEST_F(TapTest, KeyDeliveredBeforeTheHoldLandsOnceAfterTheWord)
{
    auto& app = startIn(CorrectionMode::automatic);
    typeMeantFor("il", "בבקשה ");
    desk.pressDelivered(7);  // x
    EXPECT_EQ(app.hold().keys().size(), 1u);
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה ס|");

    desk.type(" ");
    typeMeantFor("us", "hello ");
    ASSERT_TRUE(app.actuating());
    desk.pressDelivered(KeyCode::left);
    EXPECT_TRUE(app.hold().keys().empty());
}

// A key the desktop took during the rewrite whose news is still on its way when the rewrite ends
// is waited for: it lands after the keys typed before it, not after the keyboard is let go.
TEST_F(TapTest, KeyStillOnItsWayWhenTheRewriteEndsLandsInOrder)
{
    startIn(CorrectionMode::automatic);
    typeMeantFor("il", "בבקשה ");
    desk.type("o");
    desk.pressSlowly(40);  // k
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה םל|");
    EXPECT_FALSE(desk.eventTap().holding());
}

// A key typed after the user selected the old layout again during the rewrite is the user's
// choice: it lands in that layout, though its news comes late.
TEST_F(TapTest, KeyTypedAfterTheUserSwitchesBackKeepsTheirLayout)
{
    auto& app = startIn(CorrectionMode::automatic);
    typeMeantFor("il", "בבקשה ");
    queue.advance(0.05);
    ASSERT_EQ(desk.inputSources().currentName(), "il");
    ASSERT_TRUE(app.actuating());
    desk.switchLayout("us");
    desk.pressSlowly(keyK);
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה k|");
}

// A held key that finishes a word starting another rewrite leaves the rest held for that one.
TEST_F(TapTest, ReplayStopsAtAKeyThatStartsAnotherRewrite)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    desk.type("hello world");
    EXPECT_EQ(app.hold().keys().size(), 11u);
    queue.advance(0.16);
    EXPECT_TRUE(app.actuating());
    EXPECT_EQ(app.hold().keys().size(), 5u);
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה hello world|");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
}

// Ctrl+Alt+Z during the very first rewrite is ours though nothing is undoable yet: it must not
// reach the application in the middle of the rewrite.
TEST_F(TapTest, UndoChordDuringTheFirstRewriteIsSwallowed)
{
    startIn(CorrectionMode::automatic);
    EXPECT_EQ(route(key(6, EventFlags::option | EventFlags::command)), TapVerdict::pass) << "nothing to undo";
    desk.type("cceav ");
    EXPECT_EQ(route(key(6, EventFlags::option | EventFlags::command)), TapVerdict::swallow);
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
}

// The desktop's tap, told when to hold keys back.
class HoldingTap final : public platform::EventTap {
public:
    explicit HoldingTap(sim::SimEventTap& tap) : m_tap(tap) {}
    bool install(platform::TapHandler handler) override { return m_tap.install(std::move(handler)); }
    void enable() override { m_tap.enable(); }
    void setHolding(bool on) override { holding.push_back(on); }

    std::vector<bool> holding;

private:
    sim::SimEventTap& m_tap;
};

// The desktop's tap holds keys from the start of a rewrite to its end.
TEST_F(TapTest, DesktopTapHoldsForTheWholeRewrite)
{
    HoldingTap holdingTap(desk.eventTap());
    eventTap = &holdingTap;
    startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    EXPECT_EQ(holdingTap.holding, std::vector<bool>{true});
    queue.advance(0.2);
    EXPECT_EQ(holdingTap.holding, (std::vector<bool>{true, false}));
}

// A key kept back that reaches the tap only after the rewrite let the keyboard go holds it again
// while it is handed on, then lets it go; the key lands after the rewritten word.
TEST_F(TapTest, KeyKeptBackAfterTheHoldHoldsTheKeyboardAgain)
{
    HoldingTap holdingTap(desk.eventTap());
    eventTap = &holdingTap;
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    queue.advance(0.2);
    ASSERT_EQ(holdingTap.holding, (std::vector<bool>{true, false}));
    TapEvent late = key(keyA);
    late.keptBack = true;
    EXPECT_EQ(route(late), TapVerdict::pass);
    EXPECT_EQ(holdingTap.holding, (std::vector<bool>{true, false, true, false}));
    EXPECT_FALSE(app.actuating());
    EXPECT_EQ(app.assembler().keys.size(), 1u) << "observed as typed";
}

// The hold keeps 24 keys; the 25th goes through at once; the watchdog frees the rest after 2 s.
TEST_F(TapTest, HoldIsBoundedAndReleasedByWatchdog)
{
    auto& app = startIn(CorrectionMode::automatic);
    app.beginActuating();
    desk.type("abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(app.hold().keys().size(), 24u);
    EXPECT_EQ(field().text(), "");
    desk.type("y");
    EXPECT_EQ(field().text(), "y");
    EXPECT_TRUE(logHas("hold full at 24 keys — letting one through"));

    queue.advance(1.9);
    EXPECT_TRUE(app.actuating());
    queue.advance(0.1);
    EXPECT_FALSE(app.actuating());
    EXPECT_TRUE(logHas("actuation watchdog — releasing 24 held key(s)"));
    EXPECT_EQ(field().text(), "yabcdefghijklmnopqrstuvwx");
    EXPECT_EQ(app.assembler().keys.size(), 25u);
}

// Shortcuts are never held; the program's own events pass untouched even while keys are held;
// the hot key is Option-Command-K exactly (Caps Lock aside) and is swallowed even then.
TEST_F(TapTest, ShortcutsAndOwnEventsPass)
{
    auto& app = startIn(CorrectionMode::automatic);
    app.beginActuating();
    desk.type("a");
    const int keyGen = app.keyGeneration();
    EXPECT_EQ(route({.type = TapEventType::keyDown, .code = keyA, .flags = 0, .marked = true, .location = {}}),
              TapVerdict::pass);
    EXPECT_EQ(route(key(keyA, EventFlags::control)), TapVerdict::pass);
    const auto optionCommand = EventFlags::option | EventFlags::command;
    EXPECT_EQ(route(key(keyK, optionCommand | EventFlags::capsLock)), TapVerdict::swallow);
    EXPECT_EQ(route(key(keyK, optionCommand | EventFlags::shift)), TapVerdict::pass);
    EXPECT_EQ(app.hold().keys().size(), 1u);
    EXPECT_EQ(app.keyGeneration(), keyGen + 2);
    EXPECT_EQ(app.keysSeenCount(), 3);
}

// A mouse-down clears what belongs to the text before it, but not a pending orphan.
TEST_F(TapTest, MouseDownClearsPendingStates)
{
    auto& app = startIn(CorrectionMode::ask, firefox);
    fillPendingStates(app);
    desk.click(sim::MouseButton::right, {110, 110});
    EXPECT_TRUE(app.assembler().keys.empty());
    EXPECT_TRUE(app.typingMemory().words().empty());
    EXPECT_TRUE(app.undoStack().empty());
    EXPECT_FALSE(app.repairs().staleExpectation());
    EXPECT_FALSE(app.repairs().suspect());
    EXPECT_FALSE(app.repairs().lastPaste());
    EXPECT_FALSE(app.correctionContext().pending());
    EXPECT_FALSE(app.suggestionPending());
    EXPECT_FALSE(prompt.visible);
    EXPECT_TRUE(app.repairs().orphan());
}

// A left click on the visible prompt belongs to the prompt and clears nothing.
TEST_F(TapTest, ClickOnPromptKeepsPendingStates)
{
    auto& app = startIn(CorrectionMode::ask, firefox);
    fillPendingStates(app);
    desk.click(sim::MouseButton::left, {110, 110});
    EXPECT_EQ(app.assembler().keys.size(), 2u);
    EXPECT_EQ(app.typingMemory().words().size(), 1u);
    EXPECT_TRUE(app.suggestionPending());
    EXPECT_TRUE(prompt.visible);
}

// A key drops a pending suggestion once the key has been handled.
TEST_F(TapTest, KeyDropsPendingSuggestionAfterTheEvent)
{
    auto& app = startIn(CorrectionMode::ask);
    app.armSuggestion({});
    queue.runUntilIdle();
    ASSERT_TRUE(prompt.visible);
    EXPECT_EQ(route(key(keyA)), TapVerdict::pass);
    EXPECT_TRUE(app.suggestionPending());
    queue.runUntilIdle();
    EXPECT_FALSE(app.suggestionPending());
    EXPECT_FALSE(prompt.visible);
}

// The user's layout switch drops the word in progress; the program's own switch keeps it.
TEST_F(TapTest, OnlyUserLayoutSwitchDropsWordInProgress)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("ak");
    const auto hebrew = app.registry().layouts[1];
    const auto english = app.registry().layouts[0];
    app.switchLayoutOurselves(hebrew);
    queue.runUntilIdle();
    EXPECT_EQ(desk.inputSources().currentName(), "il");
    EXPECT_EQ(app.assembler().keys.size(), 2u);
    EXPECT_EQ(app.repairs().switchedFrom()->id, english.id);

    desk.switchLayout("us");
    desk.type("b");
    EXPECT_EQ(app.assembler().keys.size(), 1u);
}

// With Secure Input on, keys pass without being observed or counted.
TEST_F(TapTest, SecureInputKeysAreNeitherObservedNorCounted)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("hello ab");
    const int keyGen = app.keyGeneration();
    desk.secureInput().turnOn(400);
    desk.type("secret ");
    EXPECT_EQ(field().text(), "hello absecret ");
    EXPECT_EQ(app.keyGeneration(), keyGen);
    EXPECT_TRUE(app.assembler().keys.empty());
    EXPECT_TRUE(app.typingMemory().words().empty());
    EXPECT_EQ(app.keysSeenCount(), 15);
}

// While the field the focus moved to is not known yet, the keys pass at once and nothing of them
// is watched: a whole word typed then is neither rewritten nor remembered; once the look-up says
// it is no password field, the next word is corrected as usual.
TEST_F(TapTest, KeysIntoFieldNotKnownYetAreNotWatched)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("hello ");
    const int keyGen = app.keyGeneration();
    desk.secureInput().focusMoved();
    typeMeantFor("il", "בבקשה ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "hello cceav |");
    EXPECT_EQ(app.keyGeneration(), keyGen);
    EXPECT_TRUE(app.typingMemory().words().empty());

    desk.secureInput().answerFocus(false);
    typeMeantFor("il", "בבקשה ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "hello cceav בבקשה |");
}

// A word begun before the answer stays unwatched to its end, even when the answer says the field
// is a plain one: part of it was typed unseen, so it is never rewritten. The word after it is.
TEST_F(TapTest, WordBegunBeforeTheFocusIsKnownIsNeverRewritten)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.secureInput().focusMoved();
    desk.type("cce");
    desk.secureInput().answerFocus(false);
    desk.type("av ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "cceav |");
    EXPECT_TRUE(app.typingMemory().words().empty());

    typeMeantFor("il", "בבקשה ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "cceav בבקשה |");
}

// When the look-up finds a password field, what was typed before it is forgotten, as for any
// password field, and the keys after the answer are not watched either.
TEST_F(TapTest, PasswordAnswerForgetsTheTyping)
{
    auto& app = startIn(CorrectionMode::ask);
    desk.type("cceav ");
    ASSERT_TRUE(app.suggestionPending());
    const int keyGen = app.keyGeneration();
    desk.secureInput().focusMoved();
    desk.type("se");
    desk.secureInput().answerFocus(true, 400);
    queue.runUntilIdle();
    EXPECT_FALSE(app.suggestionPending());
    desk.type("cret ");
    EXPECT_EQ(app.keyGeneration(), keyGen);
    EXPECT_TRUE(app.assembler().keys.empty());
    EXPECT_TRUE(app.typingMemory().words().empty());
}

// Right after our own switch, a first key that types a letter in each script becomes a suspect;
// a key that types the same on both only uses up a word start.
TEST_F(TapTest, FirstKeyAfterOwnSwitchMayBeSuspect)
{
    defaults.set("kestrelix.debugLogging", true);
    auto& app = startIn(CorrectionMode::automatic, firefox);
    app.selectLayoutFromMenu(app.registry().layouts[1].id);
    desk.type("12");
    ASSERT_TRUE(app.repairs().staleExpectation());
    EXPECT_EQ(app.repairs().staleExpectation()->wordStartsLeft, 1) << "only the word start counts";
    desk.type(" ש");
    EXPECT_FALSE(app.repairs().staleExpectation());
    ASSERT_TRUE(app.repairs().suspect());
    EXPECT_EQ(app.repairs().suspect()->text, "a");
    EXPECT_TRUE(logHas("first key after switch may read 'a' on screen — checking when the word completes"));
}

// Control with Option and Command is no hot key: the key is observed like any other.
TEST_F(TapTest, ControlOptionCommandKIsObserved)
{
    auto& app = startIn(CorrectionMode::automatic);
    const int keyGen = app.keyGeneration();
    const auto chord = EventFlags::control | EventFlags::option | EventFlags::command;
    EXPECT_EQ(route(key(keyK, chord)), TapVerdict::pass);
    EXPECT_EQ(app.keyGeneration(), keyGen + 1);
}

// A tap the desktop turned off is turned on again by its notice: the next key is seen (here held).
TEST_F(TapTest, DisabledTapIsEnabledAgain)
{
    auto& app = startIn(CorrectionMode::automatic);
    app.beginActuating();
    desk.eventTap().disable(TapEventType::disabledByUserInput);
    desk.type("a");
    EXPECT_EQ(field().text(), "");
    EXPECT_EQ(app.hold().keys().size(), 1u);
}

// The replay of held keys is logged in debug mode with the number of keys taken.
TEST_F(TapTest, ReplayIsLoggedInDebugMode)
{
    defaults.set("kestrelix.debugLogging", true);
    startIn(CorrectionMode::automatic);
    desk.type("cceav ok");
    queue.advance(0.5);
    EXPECT_TRUE(logHas("replayed 2 key(s) held during the rewrite"));
}

// Secure Input drops a pending suggestion once the key has been handled.
TEST_F(TapTest, SecureInputDropsPendingSuggestion)
{
    auto& app = startIn(CorrectionMode::ask);
    desk.type("cceav ");
    ASSERT_TRUE(app.suggestionPending());
    desk.secureInput().turnOn(400);
    EXPECT_EQ(route(key(keyA)), TapVerdict::pass);
    EXPECT_TRUE(app.suggestionPending());
    queue.runUntilIdle();
    EXPECT_FALSE(app.suggestionPending());
    EXPECT_FALSE(prompt.visible);
}

}  // namespace
}  // namespace kx::test
