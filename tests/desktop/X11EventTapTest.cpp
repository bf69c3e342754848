#include "platform/x11/X11EventTap.h"

#include "DesktopSession.h"
#include "KeyboardFixture.h"
#include "KeyboardScene.h"
#include "platform/KeyStroke.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/X11EventPoster.h"
#include "platform/x11/X11InputSources.h"
#include "platform/x11/X11SecureInput.h"
#include "platform/x11/X11Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <optional>
#include <ostream>
#include <thread>

// After GoogleTest: X.h defines None.
#include <X11/Xlib.h>

namespace kx::platform {

// Failures show the events, not their bytes (found by argument-dependent lookup, so not in an
// unnamed namespace).
static void PrintTo(const TapEvent& event, std::ostream* out)
{
    *out << "{type " << static_cast<std::uint32_t>(event.type) << ", code " << event.code << ", flags 0x" << std::hex
         << event.flags << std::dec << (event.marked ? ", marked" : "") << (event.delivered ? ", delivered" : "")
         << (event.keptBack ? ", kept back" : "") << ", at " << event.location.x << "," << event.location.y << "}";
}

namespace x11 {
namespace {

using test::DesktopSession;
namespace Keycode = test::Keycode;

constexpr std::uint64_t optionCommand = EventFlags::option | EventFlags::command;

class X11EventTapTest : public test::KeyboardFixture {
protected:
    void SetUp() override
    {
        KeyboardFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        tap = std::make_unique<X11EventTap>(keyboard, *poster);
        ASSERT_TRUE(tap->install([this](const TapEvent& event) {
            seen.push_back(event);
            return decide ? decide(event) : TapVerdict::pass;
        }));
        user = std::make_unique<test::OtherClient>();
        ASSERT_TRUE(user->ok());
    }

    bool waitForEvents(std::size_t count)
    {
        return DesktopSession::waitFor([&] { return seen.size() >= count; }, 3.0);
    }

    // Another client's key outside any grab has reached the application by the time the tap sees it.
    static TapEvent key(std::uint16_t code, std::uint64_t flags = 0, bool marked = false)
    {
        return {.type = TapEventType::keyDown,
                .code = code,
                .flags = flags,
                .sourceHandle = 0,
                .marked = marked,
                .delivered = !marked,
                .location = {}};
    }
    // A key kept from the application by a chord grab.
    static TapEvent caught(std::uint16_t code, std::uint64_t flags = 0, int sourceHandle = 0)
    {
        return {
            .type = TapEventType::keyDown, .code = code, .flags = flags, .sourceHandle = sourceHandle, .location = {}};
    }
    // A key kept from the application by the hold.
    static TapEvent keptBack(std::uint16_t code)
    {
        TapEvent event = caught(code);
        event.keptBack = true;
        return event;
    }

    std::unique_ptr<X11EventTap> tap;
    std::unique_ptr<test::OtherClient> user;
    std::vector<TapEvent> seen;
    std::function<TapVerdict(const TapEvent&)> decide;
};

// Another client's keys and clicks reach the handler in order, with the program's codes and flags;
// modifier keys and key releases do not.
TEST_F(X11EventTapTest, KeysAndClicksReachTheHandlerInOrder)
{
    user->tap(Keycode::a);
    user->click(1, 300, 200);
    user->tap(Keycode::b, {Keycode::shift});
    user->click(3, 40, 50);
    user->click(2, 40, 50);
    user->tap(Keycode::z, {Keycode::alt});
    ASSERT_TRUE(waitForEvents(5));
    const std::vector<TapEvent> expected{
        key(0),
        {.type = TapEventType::leftMouseDown, .code = 0, .flags = 0, .marked = false, .location = {300, 200}},
        key(11, EventFlags::shift),
        {.type = TapEventType::rightMouseDown, .code = 0, .flags = 0, .marked = false, .location = {40, 50}},
        key(6, EventFlags::control),
    };
    EXPECT_EQ(seen, expected);
}

// The program's own posted keys come back marked; another client's and the drill's unmarked ones do not.
TEST_F(X11EventTapTest, OwnPostedKeysAreMarked)
{
    ASSERT_TRUE(poster->post({.code = 1, .flags = 0, .down = true, .text = {}, .marked = true}));
    ASSERT_TRUE(poster->post({.code = 1, .flags = 0, .down = false, .text = {}, .marked = true}));
    user->tap(Keycode::a);
    ASSERT_TRUE(poster->post({.code = 2, .flags = 0, .down = true, .text = {}, .marked = false}));
    ASSERT_TRUE(poster->post({.code = 2, .flags = 0, .down = false, .text = {}, .marked = false}));
    // A character typed on a spare key (no position of ours) is not handed on, and claims nothing.
    ASSERT_TRUE(poster->post({.code = 0, .flags = 0, .down = true, .text = "✓", .marked = true}));
    ASSERT_TRUE(poster->post({.code = 0, .flags = 0, .down = false, .text = "✓", .marked = true}));
    user->tap(Keycode::b);
    ASSERT_TRUE(waitForEvents(4));
    EXPECT_EQ(seen, (std::vector<TapEvent>{key(1, 0, true), key(0), key(2), key(11)}));
}

// A key tells the layout it was typed in, though the layout changed before the handler saw it.
TEST_F(X11EventTapTest, KeysTellTheLayoutTheyWereTypedIn)
{
    user->lockGroup(1);
    user->tap(Keycode::a);
    user->lockGroup(0);
    user->tap(Keycode::a);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(seen[0].sourceHandle, 1);
    EXPECT_EQ(seen[1].sourceHandle, 0);
}

// Our own layout switch reaches the handler as a notice in its place among the keys; another
// client's switch does not.
TEST_F(X11EventTapTest, OwnLayoutSwitchIsPlacedAmongTheKeys)
{
    const auto sources = X11InputSources::open(keyboard);
    ASSERT_TRUE(sources);
    user->tap(Keycode::a);
    sources->select(sources->enabled().at(1));
    keyboard->with([](Display* display) { XSync(display, False); });
    user->tap(Keycode::b);
    user->lockGroup(0);
    user->tap(Keycode::c);
    ASSERT_TRUE(waitForEvents(4));
    const TapEvent selected{.type = TapEventType::layoutSelected, .sourceHandle = 1};
    TapEvent b = key(11);
    b.sourceHandle = 1;
    EXPECT_EQ(seen, (std::vector<TapEvent>{key(0), selected, b, key(8)}));
}

// Ctrl+Alt+K and Ctrl+Alt+Z reach the handler as ⌥⌘K and ⌥⌘Z on either layout, and swallowed
// they leave the field alone.
TEST_F(X11EventTapTest, HotKeysReachTheHandlerAsOptionCommand)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    decide = [](const TapEvent& event) {
        return (event.flags & optionCommand) == optionCommand ? TapVerdict::swallow : TapVerdict::pass;
    };
    // At a typist's pace: each chord stops the keyboard until the tap has answered it.
    user->tap(Keycode::k, {Keycode::control, Keycode::alt});
    ASSERT_TRUE(waitForEvents(1));
    user->lockGroup(1);
    user->tap(Keycode::z, {Keycode::control, Keycode::alt});
    ASSERT_TRUE(waitForEvents(2));
    user->lockGroup(0);
    user->tap(Keycode::a);
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_EQ(seen, (std::vector<TapEvent>{caught(40, optionCommand), caught(6, optionCommand, 1), key(0)}));
    EXPECT_TRUE(field.waitForText("a"));
}

// Chords typed faster than the tap answers them: the second one is pressed while the first has
// the keyboard stopped, and its record comes without modifiers. It is still decided (here:
// swallowed) once and as the chord, never as a plain z that reached the application; the keyboard
// goes on, and nothing of it reaches the field.
TEST_F(X11EventTapTest, ChordTypedWhileTheKeyboardIsStoppedIsStillDecided)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    decide = [](const TapEvent& event) {
        return (event.flags & optionCommand) == optionCommand ? TapVerdict::swallow : TapVerdict::pass;
    };
    user->tap(Keycode::k, {Keycode::control, Keycode::alt});
    user->tap(Keycode::z, {Keycode::control, Keycode::alt});
    user->tap(Keycode::a);
    EXPECT_TRUE(field.waitForText("a")) << field.text();
    EXPECT_TRUE(DesktopSession::waitFor([&] { return std::ranges::count(seen, caught(6, optionCommand)) == 1; }, 3.0))
        << ::testing::PrintToString(seen);
    EXPECT_EQ(std::ranges::count(seen, caught(40, optionCommand)), 1) << ::testing::PrintToString(seen);
    EXPECT_EQ(std::ranges::count(seen, key(6)), 0) << ::testing::PrintToString(seen);
}

// A handler that waits in an event loop of its own (as a focus look-up may) while the chord typed
// after its key stops the keyboard: the chord is decided from its grab meanwhile, and its record,
// read before that, must not decide it again.
TEST_F(X11EventTapTest, ChordDecidedFromItsGrabIsNotDecidedAgainByItsRecord)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    const TapEvent undo = caught(6, EventFlags::command);
    bool waited = false;
    decide = [&](const TapEvent& event) {
        if (event == key(7) && !waited) {
            waited = true;
            DesktopSession::waitFor([&] { return std::ranges::count(seen, undo) > 0; }, 3.0);
        }
        return event == undo ? TapVerdict::swallow : TapVerdict::pass;
    };
    // Typed before the tap reads anything, so that their records come in one batch.
    user->tap(Keycode::x);
    user->tap(Keycode::z, {Keycode::control});
    user->tap(Keycode::c);
    EXPECT_TRUE(field.waitForText("xc")) << field.text();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return std::ranges::count(seen, key(8)) == 1; }, 3.0))
        << ::testing::PrintToString(seen);
    EXPECT_EQ(std::ranges::count(seen, undo), 1) << ::testing::PrintToString(seen);
}

// Another thread asks whether the keyboard's grab is ours (the password-prompt watch does), a round
// trip that reads whatever the server has sent the connection by then. A chord typed while another
// one stops the keyboard is decided from its grab's event alone; read off by that round trip, the
// event must still be answered, or the keyboard stays stopped.
TEST_F(X11EventTapTest, ChordWhoseGrabEventAnotherThreadReadIsStillDecided)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    const auto askFromAnotherThread = [this] { std::thread([this] { tap->ownsKeyboardGrab(); }).join(); };
    decide = [&](const TapEvent& event) {
        askFromAnotherThread();
        return (event.flags & optionCommand) == optionCommand ? TapVerdict::swallow : TapVerdict::pass;
    };
    user->tap(Keycode::k, {Keycode::control, Keycode::alt});
    user->tap(Keycode::z, {Keycode::control, Keycode::alt});
    user->tap(Keycode::a);
    askFromAnotherThread();
    EXPECT_TRUE(field.waitForText("a")) << "the keyboard stayed stopped: " << field.text();
    EXPECT_TRUE(DesktopSession::waitFor([&] { return std::ranges::count(seen, caught(6, optionCommand)) == 1; }, 3.0))
        << ::testing::PrintToString(seen);
    EXPECT_EQ(std::ranges::count(seen, caught(40, optionCommand)), 1) << ::testing::PrintToString(seen);
    EXPECT_EQ(std::ranges::count(seen, key(6)), 0) << ::testing::PrintToString(seen);
}

// Ctrl+Z (⌘Z) reaches the application when the handler passes it, as the user typed it (never
// typed again by us, which our own grab could catch), and is kept from it when the handler
// swallows it.
TEST_F(X11EventTapTest, CtrlZReachesTheFieldUnlessSwallowed)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    TapVerdict undoVerdict = TapVerdict::swallow;
    decide = [&](const TapEvent& event) {
        return event.code == 6 && event.flags == EventFlags::command ? undoVerdict : TapVerdict::pass;
    };
    user->tap(Keycode::a);
    user->tap(Keycode::b);
    ASSERT_TRUE(field.waitForText("ab"));

    user->tap(Keycode::z, {Keycode::control});
    user->tap(Keycode::c);
    // The field may see c before the tap's recording shows the Ctrl+Z: the verdict is asked then.
    ASSERT_TRUE(waitForEvents(4));
    ASSERT_TRUE(field.waitForText("abc")) << "a swallowed Ctrl+Z would have undone the typing: " << field.text();

    undoVerdict = TapVerdict::pass;
    user->tap(Keycode::z, {Keycode::control});
    EXPECT_TRUE(DesktopSession::waitFor([&] { return field.text().empty(); }, 3.0))
        << "the field undoes rather than typing z: " << field.text();
    ASSERT_TRUE(waitForEvents(5));
    EXPECT_EQ(seen[4], caught(6, EventFlags::command)) << ::testing::PrintToString(seen);
    user->tap(Keycode::a);
    ASSERT_TRUE(waitForEvents(6));
    EXPECT_EQ(seen[5], key(0)) << "no copy of the Ctrl+Z was typed: " << ::testing::PrintToString(seen);
    EXPECT_TRUE(field.waitForText("a"));
}

// While the program types a rewrite the user's keys are held: a swallowed key never reaches the
// field, the program's own keys still do, and the held key is there to be posted afterwards.
TEST_F(X11EventTapTest, HeldKeysDoNotReachTheFieldAndAreNotLost)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    std::vector<TapEvent> held;
    decide = [&](const TapEvent& event) {
        if (event.marked || !keyboard->holding())
            return TapVerdict::pass;
        held.push_back(event);
        return TapVerdict::swallow;
    };
    tap->setHolding(true);
    user->tap(Keycode::x);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return held.size() == 1; }, 3.0));

    for (const std::uint16_t code : {0, 11}) {
        ASSERT_TRUE(poster->post({.code = code, .flags = 0, .down = true, .text = {}, .marked = true}));
        ASSERT_TRUE(poster->post({.code = code, .flags = 0, .down = false, .text = {}, .marked = true}));
    }
    EXPECT_TRUE(field.waitForText("ab")) << "the held x came first: " << field.text();

    tap->setHolding(false);
    for (const bool down : {true, false})
        ASSERT_TRUE(
            poster->post({.code = held[0].code, .flags = held[0].flags, .down = down, .text = {}, .marked = true}));
    EXPECT_TRUE(field.waitForText("abx"));
    EXPECT_EQ(held, (std::vector<TapEvent>{keptBack(7)}));
}

// A held key the handler lets pass (a shortcut, or past the hold's limit) is handed on to the field.
TEST_F(X11EventTapTest, HeldKeyThatPassesIsHandedOn)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    decide = [](const TapEvent&) { return TapVerdict::pass; };
    tap->setHolding(true);
    user->tap(Keycode::c);
    EXPECT_TRUE(field.waitForText("c"));
    tap->setHolding(false);
}

// A key caught in the instant before the keyboard is let go reaches the handler only afterwards:
// it is handed on before the keys typed after it, and the keyboard is let go behind it.
TEST_F(X11EventTapTest, KeyCaughtAsTheHoldEndsLandsBeforeTheKeysAfterIt)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    tap->setHolding(true);
    bool released = false;
    tap->afterPendingKeys([&] {
        user->typeKeys("x");
        tap->setHolding(false);
        user->typeKeys("yz");
        released = true;
    });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return released; }, 3.0));
    EXPECT_TRUE(field.waitForText("xyz")) << field.text();
    EXPECT_TRUE(DesktopSession::waitFor([&] { return !keyboard->holding(); }, 3.0));
    user->typeKeys("w");
    EXPECT_TRUE(field.waitForText("xyzw")) << field.text();
}

// The barrier comes after every key the server took before it: keys typed while the keyboard is
// held have all reached the handler when it runs.
TEST_F(X11EventTapTest, BarrierComesAfterTheKeysTakenBeforeIt)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    decide = [&](const TapEvent& event) { return event.marked ? TapVerdict::pass : TapVerdict::swallow; };
    tap->setHolding(true);
    user->tap(Keycode::x);
    user->tap(Keycode::c);
    std::optional<std::size_t> seenAtBarrier;
    tap->afterPendingKeys([&] { seenAtBarrier = seen.size(); });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return seenAtBarrier.has_value(); }, 3.0));
    EXPECT_EQ(*seenAtBarrier, 2u);
    tap->setHolding(false);
    EXPECT_EQ(field.text(), "");
}

// A Shift caught by the hold is not posted again: the user still holds it after the hold, and
// the next letter is a capital.
TEST_F(X11EventTapTest, CaughtShiftStaysTheUsers)
{
    test::TextField field;
    ASSERT_TRUE(field.ok());
    tap->setHolding(true);
    user->setKey(Keycode::shift, true);
    bool passed = false;
    tap->afterPendingKeys([&] { passed = true; });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return passed; }, 3.0));
    tap->setHolding(false);
    user->tap(Keycode::a);
    user->setKey(Keycode::shift, false);
    user->tap(Keycode::b);
    EXPECT_TRUE(field.waitForText("Ab")) << field.text();
}

// A chord's grab lasts for as long as its key is down, answered or not. It is ours: however many
// probes meet it, it is never taken for a password prompt holding the keyboard.
TEST_F(X11EventTapTest, ChordGrabIsNeverAnotherClientsGrab)
{
    decide = [](const TapEvent&) { return TapVerdict::swallow; };
    AtspiSession session;
    X11Workspace workspace;
    X11SecureInput secure(session, workspace);
    secure.ignoreOwnGrabs([this] { return tap->ownsKeyboardGrab(); });
    user->setKey(Keycode::control, true);
    user->setKey(Keycode::alt, true);
    user->setKey(Keycode::k, true);
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(seen.front(), caught(40, optionCommand));
    for (int probe = 0; probe < 3; ++probe)
        secure.refresh();
    EXPECT_TRUE(tap->ownsKeyboardGrab()) << "the key is still down";
    EXPECT_FALSE(secure.isEnabled());
    EXPECT_NE(secure.fieldAtKey(), SecureInput::Field::secure);
    for (const unsigned key : {Keycode::k, Keycode::alt, Keycode::control})
        user->setKey(key, false);
}

}  // namespace
}  // namespace x11
}  // namespace kx::platform
