#include "platform/sim/SimDesktop.h"

#include "platform/KeyStroke.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kx::sim {
namespace {

using platform::TapEvent;
using platform::TapEventType;
using platform::TapVerdict;

constexpr std::uint16_t keyA = 0, keyC = 8, keyV = 9, keyZ = 6, keyK = 40, keyO = 31, keyU = 32;

// Sets field from a picture: "|" is the caret, brackets hold the selection ("a[bc]|").
void draw(SimTextField& field, std::string picture)
{
    const auto take = [&](char mark) {
        const auto at = picture.find(mark);
        if (at != std::string::npos)
            picture.erase(at, 1);
        return at;
    };
    const auto open = picture.find('['), caret = picture.find('|');
    const bool caretFirst = caret < open;
    const auto caretAt = take('|'), from = take('['), to = take(']');
    field.setText(picture);
    const auto scalars = [&](std::size_t bytes) {
        return text::scalarCount(std::string_view(picture).substr(0, bytes));
    };
    if (from == std::string::npos)
        field.setCaret(scalars(caretAt));
    else if (caretFirst)
        field.select(scalars(to), scalars(from));
    else
        field.select(scalars(from), scalars(to));
}

class SimDesktopTest : public ::testing::Test {
protected:
    SimDesktopTest()
    {
        desk.setLayouts({"us", "il"});
        desk.launch({.id = "org.gnome.gedit", .name = "Text Editor", .pid = 400, .electron = false});
        desk.activate("org.gnome.gedit");
    }
    ~SimDesktopTest() override { EXPECT_TRUE(desk.faults().empty()) << desk.faults().front(); }

    SimTextField& field() { return *desk.focusedField(); }

    VirtualMainQueue queue;
    SimDesktop desk{queue};
};

// Keys type what the layout selected at that moment types, Shift included.
TEST_F(SimDesktopTest, KeysTypeOnTheLayoutSelectedAtThatMoment)
{
    desk.type("Hi, ak");
    desk.switchLayout("il");
    desk.press(keyU);
    desk.press(keyO);
    desk.type(" שלום");
    EXPECT_EQ(field().withCaret(), "Hi, akום שלום|");
}

// What single keys do to a field, as a text field on the desktop does it.
TEST_F(SimDesktopTest, KeysEditTheField)
{
    struct Row {
        const char* before;
        std::uint16_t code;
        std::uint64_t flags;
        const char* after;
    };
    const Row rows[] = {
        // typing replaces the selection
        {"a[bc]|d", keyA, 0, "aa|d"},
        {"ab|", keyA, EventFlags::shift, "abA|"},
        {"ab|", KeyCode::tab, 0, "ab\t|"},
        {"ab|", KeyCode::return_, 0, "ab\n|"},
        // keys that type no text
        {"ab|", KeyCode::escape, 0, "ab|"},
        {"ab|", keyA, EventFlags::control, "ab|"},
        {"ab|", keyZ, EventFlags::command, "ab|"},
        {"|", KeyCode::delete_, 0, "|"},
        // the caret keys collapse a selection to its side
        {"ab|", KeyCode::left, 0, "a|b"},
        {"a[bc]|", KeyCode::left, 0, "a|bc"},
        {"a|[bc]", KeyCode::right, 0, "abc|"},
        {"ab|", KeyCode::right, 0, "ab|"},
    };
    for (const auto& row : rows) {
        draw(field(), row.before);
        desk.press(row.code, row.flags);
        EXPECT_EQ(field().withCaret(), row.after) << "from " << row.before << " with key " << row.code;
    }
}

// Text typed on a layout is exactly the text asked for, Shift levels included.
TEST_F(SimDesktopTest, TypingRoundTripsOnEveryLayout)
{
    desk.setLayouts({"us", "il", "ru"});
    const std::pair<const char*, const char*> rows[] = {
        {"us", "Hello, World! 42"}, {"il", "שלום, עולם."}, {"ru", "Привет, мир."}};
    for (const auto& [layout, text] : rows) {
        field().setText("");
        desk.switchLayout(layout);
        desk.type(text);
        EXPECT_EQ(field().text(), text) << layout;
    }
}

// Backspace removes one Unicode scalar, not a whole character; it deletes a selection whole.
TEST_F(SimDesktopTest, BackspaceRemovesOneScalarOrTheSelection)
{
    field().setText("cafe\u0301 a\U0001F600");
    desk.type("\b");
    EXPECT_EQ(field().text(), "cafe\u0301 a");
    desk.type("\b\b\b");
    EXPECT_EQ(field().text(), "cafe");
    field().select(1, 3);
    desk.type("\b");
    EXPECT_EQ(field().withCaret(), "c|e");
}

// Command+V pastes the pasteboard's text; Command+C copies a selection and moves the change count,
// and copies nothing when nothing is selected.
TEST_F(SimDesktopTest, PasteAndCopyGoThroughThePasteboard)
{
    auto& board = desk.pasteboard();
    board.clearContents();
    board.writeItems({{{"image/png", "PNG"}}, {{std::string(platform::Pasteboard::stringType), "hello"}}});
    desk.press(keyV, EventFlags::command);
    EXPECT_EQ(field().withCaret(), "hello|");

    const auto before = board.changeCount();
    desk.press(keyC, EventFlags::command);
    EXPECT_EQ(board.changeCount(), before);

    field().select(1, 4);
    desk.press(keyC, EventFlags::command);
    EXPECT_GT(board.changeCount(), before);
    EXPECT_EQ(board.string(), "ell");
    EXPECT_EQ(board.items().size(), 1u);
    EXPECT_EQ(field().text(), "hello");
}

// A layout switch notifies on the main queue, never inside the call that made it; the program's
// selections are recorded, and selecting the current layout notifies nobody.
TEST_F(SimDesktopTest, LayoutChangesNotifyAfterTheChange)
{
    int notices = 0;
    const auto subscription = desk.inputSources().subscribe([&] { ++notices; });

    desk.switchLayout("il");
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(desk.inputSources().current()->layout, "il");

    const auto us = desk.inputSources().enabled().front();
    desk.inputSources().select(us);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    queue.runUntilIdle();
    EXPECT_EQ(notices, 2);

    desk.inputSources().select(us);
    queue.runUntilIdle();
    EXPECT_EQ(notices, 2);
    EXPECT_EQ(desk.inputSources().selections(), (std::vector<std::string>{"us", "us"}));
}

// The tap's handler sees every key-down first: a swallowed key never reaches the field, and the
// program's marked events go through the tap too and land when it lets them pass.
TEST_F(SimDesktopTest, TapDecidesWhatReachesTheField)
{
    std::vector<TapEvent> seen;
    ASSERT_TRUE(desk.eventTap().install([&](const TapEvent& event) {
        seen.push_back(event);
        return event.code == keyK && !event.marked ? TapVerdict::swallow : TapVerdict::pass;
    }));
    desk.type("kok");
    EXPECT_EQ(field().text(), "o");

    auto& poster = desk.eventPoster();
    EXPECT_TRUE(poster.post({.code = keyK, .flags = 0, .down = true, .text = {}, .marked = true}));
    EXPECT_TRUE(poster.post({.code = keyK, .flags = 0, .down = false, .text = {}, .marked = true}));
    EXPECT_TRUE(poster.post({.code = 0, .flags = 0, .down = true, .text = "ש", .marked = true}));
    EXPECT_EQ(field().text(), "okש");
    ASSERT_EQ(seen.size(), 5u);  // key-ups are not tapped
    EXPECT_TRUE(seen[3].marked);
    EXPECT_EQ(poster.posted().size(), 3u);

    desk.click(MouseButton::right, {120, 40});
    EXPECT_EQ(seen.back().type, TapEventType::rightMouseDown);
    EXPECT_EQ(desk.pointer().location(), (platform::ScreenPoint{120, 40}));
}

// A tap the desktop turned off hands its handler the notice, then lets events by unseen until enabled.
TEST_F(SimDesktopTest, DisabledTapIsBypassedUntilEnabled)
{
    std::vector<TapEventType> seen;
    ASSERT_TRUE(desk.eventTap().install([&](const TapEvent& event) {
        seen.push_back(event.type);
        return TapVerdict::swallow;
    }));
    EXPECT_FALSE(desk.eventTap().install([](const TapEvent&) { return TapVerdict::pass; }));
    desk.eventTap().disable(TapEventType::disabledByTimeout);
    desk.type("a");
    EXPECT_EQ(field().text(), "a");
    desk.eventTap().enable();
    desk.type("a");
    EXPECT_EQ(field().text(), "a");
    EXPECT_EQ(seen, (std::vector{TapEventType::disabledByTimeout, TapEventType::keyDown}));
}

// Accessibility reads the front field in UTF-16 units, and gives nothing for an unreadable or slow
// field or when nothing is in front.
TEST_F(SimDesktopTest, AccessibilityReadsTheFrontField)
{
    auto& ax = desk.accessibility();
    field().setText("\U0001F600ab cd");
    field().select(3, 5);
    EXPECT_EQ(ax.focusedValue(0.25), "\U0001F600ab cd");
    EXPECT_EQ(ax.selectedRange(0.25), (platform::TextRange{4, 2}));
    EXPECT_EQ(ax.selectedText(0.25), " c");

    field().answerDelay = 0.3;
    EXPECT_EQ(ax.focusedValue(0.25), std::nullopt);
    field().answerDelay = 0;
    field().unreadable = true;
    EXPECT_EQ(ax.selectedRange(0.25), std::nullopt);

    desk.workspace().quit("org.gnome.gedit");
    EXPECT_EQ(ax.selectedText(0.25), std::nullopt);
}

// Application quirks: a lag that types the first key after a switch on the old layout, and a Space
// lost right after a paste.
TEST_F(SimDesktopTest, ApplicationQuirksAroundSwitchesAndPastes)
{
    field().keysOnOldLayout = 1;
    field().swallowsSpaceAfterPaste = true;
    desk.type("a");
    desk.switchLayout("il");
    desk.type("שש");
    EXPECT_EQ(field().text(), "aaש");

    desk.pasteboard().clearContents();
    desk.pasteboard().setString("לא");
    desk.press(keyV, EventFlags::command);
    desk.type("  ");
    EXPECT_EQ(field().text(), "aaשלא ");
}

// Activation is announced on the main queue; an Electron program is laid out as Electron's are.
TEST_F(SimDesktopTest, ApplicationsActivateAndDescribeThemselves)
{
    std::vector<std::string> activated;
    const auto subscription =
        desk.workspace().subscribeActivation([&](const auto& app) { activated.push_back(app.id); });
    desk.launch({.id = "slack", .name = "Slack", .pid = 500, .electron = true});
    desk.activate("slack");
    desk.activate("slack");
    EXPECT_EQ(activated, std::vector<std::string>{"slack"});

    const auto front = desk.workspace().frontApplication();
    ASSERT_TRUE(front);
    EXPECT_TRUE(std::filesystem::exists(front->executable.parent_path() / "resources" / "app.asar"));
    EXPECT_EQ(desk.workspace().runningApplications().size(), 2u);
}

// A refused tap or poster changes nothing: keys reach the field unseen, posts deliver nothing.
TEST_F(SimDesktopTest, RefusalsLeaveTheDesktopAlone)
{
    desk.eventTap().refusesInstall = true;
    EXPECT_FALSE(desk.eventTap().install([](const TapEvent&) { return TapVerdict::swallow; }));
    desk.type("a");
    EXPECT_EQ(field().text(), "a");

    desk.eventPoster().refusesPosting = true;
    const platform::SyntheticKey key{.code = keyA, .flags = 0, .down = true, .text = {}, .marked = true};
    EXPECT_FALSE(desk.eventPoster().post(key));
    EXPECT_EQ(field().text(), "a");
    EXPECT_TRUE(desk.eventPoster().posted().empty());
}

// Sounds and the login item record what they were asked; a refused registration keeps its state.
TEST_F(SimDesktopTest, RecordersKeepWhatTheyWereAsked)
{
    desk.sound().remove("Missing");
    EXPECT_EQ(desk.sound().load("Missing"), nullptr);
    auto clip = desk.sound().load("bell");
    clip->play();
    clip->setVolume(0.6);
    clip->play();
    EXPECT_EQ(desk.sound().played(), (std::vector<SoundPlay>{{"bell", 1.0}, {"bell", 0.6}}));

    auto& login = desk.loginItem();
    login.refusal = Error{ErrorCode::denied, "no autostart folder"};
    EXPECT_TRUE(login.register_().has_value());
    EXPECT_EQ(login.status(), platform::LoginItem::Status::notRegistered);
    login.refusal.reset();
    EXPECT_FALSE(login.register_().has_value());
    EXPECT_EQ(login.status(), platform::LoginItem::Status::enabled);
    EXPECT_EQ(login.calls(), (std::vector<std::string>{"register", "register"}));
}

// Secure input's holder stays alive while its application or process runs.
TEST_F(SimDesktopTest, SecureInputHolderLiveness)
{
    auto& secure = desk.secureInput();
    EXPECT_EQ(secure.holderPid(), std::nullopt);
    secure.turnOn(400);
    EXPECT_TRUE(secure.isEnabled());
    EXPECT_EQ(secure.holderPid(), 400);
    EXPECT_TRUE(secure.isProcessAlive(400));
    desk.workspace().quit("org.gnome.gedit");
    EXPECT_FALSE(secure.isProcessAlive(400));
    secure.setProcessAlive(400, true);
    EXPECT_TRUE(secure.isProcessAlive(400));
}

// One name is held by one lock at a time, which the refused one names, and freed when its holder goes.
TEST_F(SimDesktopTest, InstanceLockExcludesASecondHolder)
{
    auto first = desk.instanceLock();
    EXPECT_EQ(first->tryAcquire("app.kestrelix.instance"), platform::LockResult::acquired);
    auto second = desk.instanceLock();
    EXPECT_EQ(second->tryAcquire("app.kestrelix.instance"), platform::LockResult::heldElsewhere);
    EXPECT_EQ(second->holder(), "process 1");
    first.reset();
    EXPECT_EQ(desk.instanceLock()->tryAcquire("app.kestrelix.instance"), platform::LockResult::acquired);
}

}  // namespace
}  // namespace kx::sim
