// The real executable on the test desktop: a probe window in front, another X client typing, and
// what the user would see in the field, the keyboard's group and the clipboard.

#include "DesktopSession.h"
#include "KeyboardScene.h"
#include "RunCommand.h"
#include "TempFolder.h"
#include "platform/x11/QtPasteboard.h"
#include "platform/x11/X11Workspace.h"

// gtest goes first: X11 defines None, which gtest uses as a name.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace kx {
namespace {

using test::DesktopSession;
using test::TextField;
namespace Keycode = test::Keycode;

// Qt applications speak AT-SPI only when told to; the undo reads the field through it.
const std::vector<std::string> qtAccessible = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"};

std::string fileText(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The keyboard's locked group: 0 is us, 1 is il.
int currentGroup()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return -1;
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    XCloseDisplay(display);
    return state.locked_group;
}

// The variables that keep the application's settings, log and history under home.
std::vector<std::string> homeVariables(const std::filesystem::path& home)
{
    return {"XDG_CONFIG_HOME=" + (home / "config").string(), "XDG_STATE_HOME=" + (home / "state").string(),
            "XDG_DATA_HOME=" + (home / "data").string()};
}

using Outcome = test::CommandOutcome;

// Runs the executable to its end (10 s at most) with these variables set and the unset ones
// removed, keeping its standard error.
Outcome runToEnd(const std::vector<std::string>& variables, const std::vector<std::string>& unset = {})
{
    std::string command = "env";
    for (const auto& name : unset)
        command += " -u " + name;
    for (const auto& variable : variables)
        command += " '" + variable + "'";
    return test::runCommand(command + " timeout 10 '" KX_EXECUTABLE "' 2>&1 >/dev/null");
}

class KestrelixEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        ASSERT_TRUE(test::setLayouts({"us", "il"}));
        m_user = std::make_unique<test::OtherClient>();
        ASSERT_TRUE(m_user->ok());
        m_workspace = std::make_unique<platform::x11::X11Workspace>();
        // A user who has been through the walkthrough: its window would take the focus.
        std::filesystem::create_directories(m_home / "config/kestrelix");
        std::ofstream(m_home / "config/kestrelix/defaults.json") << R"({"kestrelix.seenWalkthrough": true})";
    }
    void TearDown() override
    {
        if (m_app > 0)
            DesktopSession::shared().stop(m_app);
    }

    std::string log() const { return fileText(m_home / "state/kestrelix/kestrelix.log"); }

    // Starts the application and waits until it says it is ready to correct.
    void startKestrelix()
    {
        m_app = DesktopSession::shared().start({KX_EXECUTABLE}, homeVariables(m_home.path()));
        ASSERT_GT(m_app, 0);
        DesktopSession::waitFor([&] { return !appRunning() || log().find("ready — correction mode") != std::string::npos; },
                                5);
        ASSERT_TRUE(appRunning()) << "kestrelix exited (is another instance of this user running?)\n" << log();
        ASSERT_NE(log().find("ready — correction mode"), std::string::npos) << log();
    }
    // Starts a probe field and waits until the window manager names it the front application,
    // since that is where the application learns what is in front. Null when it never got there.
    std::unique_ptr<TextField> frontField(const std::string& wmClass, const std::vector<std::string>& options = {})
    {
        auto field = std::make_unique<TextField>(wmClass, options, qtAccessible);
        const bool front = field->ok() && DesktopSession::waitFor(
                                              [&] {
                                                  const auto app = m_workspace->frontApplication();
                                                  return app && app->pid == field->pid();
                                              },
                                              5);
        if (!front)
            ADD_FAILURE() << "the " << wmClass << " field did not come to the front";
        return front ? std::move(field) : nullptr;
    }
    bool appRunning()
    {
        if (m_app > 0 && ::waitpid(m_app, nullptr, WNOHANG) == m_app)
            m_app = -1;
        return m_app > 0;
    }

    test::TempFolder m_home{"kx-e2e"};
    std::unique_ptr<test::OtherClient> m_user;
    std::unique_ptr<platform::x11::X11Workspace> m_workspace;
    pid_t m_app = -1;
};

// Wrong-layout words are rewritten in both directions and the keyboard follows the language:
// "cceav " on us becomes "בבקשה " with il selected, then "יקךךם " on il becomes "hello " with us.
TEST_F(KestrelixEndToEndTest, RewritesWrongLayoutWordsAndSwitchesLayout)
{
    startKestrelix();
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
    EXPECT_TRUE(DesktopSession::waitFor([] { return currentGroup() == 1; }, 2)) << "group " << currentGroup();

    m_user->typeKeys("hello ");
    EXPECT_TRUE(field->waitForText("בבקשה hello ")) << field->text() << '\n' << log();
    EXPECT_TRUE(DesktopSession::waitFor([] { return currentGroup() == 0; }, 2)) << "group " << currentGroup();
}

// Genuine English stays as typed; the wrong-layout word after it proves the words were judged.
TEST_F(KestrelixEndToEndTest, LeavesGenuineTextAlone)
{
    startKestrelix();
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    m_user->typeKeys("hello world ");
    ASSERT_TRUE(field->waitForText("hello world "));
    m_user->typeKeys("cceav ");
    EXPECT_TRUE(field->waitForText("hello world בבקשה ")) << field->text() << '\n' << log();
}

// A terminal (WM_CLASS XTerm) is never rewritten, while an editor brought up after it is.
TEST_F(KestrelixEndToEndTest, NeverTouchesATerminal)
{
    startKestrelix();
    const auto terminal = frontField("XTerm");
    ASSERT_TRUE(terminal);
    m_user->typeKeys("cceav ");
    ASSERT_TRUE(terminal->waitForText("cceav "));

    const auto editor = frontField("KxEditor");
    ASSERT_TRUE(editor);
    m_user->typeKeys("cceav ");
    ASSERT_TRUE(editor->waitForText("בבקשה ")) << editor->text() << '\n' << log();
    EXPECT_EQ(terminal->text(), "cceav ");
    EXPECT_EQ(currentGroup(), 1);
}

// Ctrl+Alt+Z right after a correction puts back what was typed, and the layout it was typed on.
TEST_F(KestrelixEndToEndTest, UndoHotKeyRestoresTypedText)
{
    startKestrelix();
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
    // The time a user takes to read the word: the rewrite's last pause is over by then.
    DesktopSession::waitFor([] { return false; }, 0.3);
    m_user->tap(Keycode::z, {Keycode::control, Keycode::alt});
    EXPECT_TRUE(field->waitForText("cceav ")) << field->text() << '\n' << log();
    EXPECT_TRUE(DesktopSession::waitFor([] { return currentGroup() == 0; }, 2)) << "group " << currentGroup();
}

// The chords a field received, one a line, as Qt names them.
std::vector<std::string> chords(const std::filesystem::path& file)
{
    std::vector<std::string> lines;
    std::istringstream in(fileText(file));
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("Ctrl+"))
            lines.push_back(line);
    return lines;
}

// Ctrl+Z is the application's own undo whenever it does not follow a correction at once: with
// nothing corrected, and with a key typed since the correction.
TEST_F(KestrelixEndToEndTest, CtrlZReachesTheApplicationWhenNotUndoingACorrection)
{
    startKestrelix();
    const test::TempFolder keys("kx-keys");
    const auto field = frontField("KxEditor", {"--keys", (keys / "log").string()});
    ASSERT_TRUE(field);

    m_user->typeKeys("hello ");
    ASSERT_TRUE(field->waitForText("hello "));
    m_user->tap(Keycode::z, {Keycode::control});
    EXPECT_TRUE(DesktopSession::waitFor([&] { return chords(keys / "log").size() == 1; }, 3)) << fileText(keys / "log");
    EXPECT_TRUE(field->waitForText("")) << "the field's own undo took the typing back: " << field->text();

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
    DesktopSession::waitFor([] { return false; }, 0.3);
    m_user->typeKeys("x");
    ASSERT_TRUE(field->waitForText("בבקשה ס")) << field->text() << '\n' << log();
    m_user->tap(Keycode::z, {Keycode::control});
    EXPECT_TRUE(DesktopSession::waitFor([&] { return chords(keys / "log").size() == 2; }, 3)) << log();
    EXPECT_EQ(log().find("undo —"), std::string::npos) << log();
}

// Ctrl+Z right after a correction is ours: the correction is undone and the field never sees it.
TEST_F(KestrelixEndToEndTest, CtrlZRightAfterACorrectionUndoesItAlone)
{
    startKestrelix();
    const test::TempFolder keys("kx-keys");
    const auto field = frontField("KxEditor", {"--keys", (keys / "log").string()});
    ASSERT_TRUE(field);

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
    DesktopSession::waitFor([] { return false; }, 0.3);
    m_user->tap(Keycode::z, {Keycode::control});
    EXPECT_TRUE(field->waitForText("cceav ")) << field->text() << '\n' << log();
    DesktopSession::waitFor([] { return false; }, 0.3);
    EXPECT_TRUE(chords(keys / "log").empty()) << fileText(keys / "log");
}

// A key typed while the rewrite is being typed is held and lands after the rewritten word, on the
// layout the rewrite switched to (x types ס on il).
TEST_F(KestrelixEndToEndTest, KeyTypedDuringRewriteLandsAfterIt)
{
    startKestrelix();
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    m_user->typeKeys("cceav ");
    // The switch to il comes first in a rewrite: from then on the user's keys are held.
    ASSERT_TRUE(DesktopSession::waitFor([] { return currentGroup() == 1; }, 3)) << log();
    m_user->typeKeys("x");
    EXPECT_TRUE(field->waitForText("בבקשה ס")) << field->text() << '\n' << log();
}

// A key typed right after the space, before the rewrite could hold the keyboard, reaches the field
// at once; it must still end up once, after the rewritten word.
TEST_F(KestrelixEndToEndTest, KeyTypedRightAfterTheSpaceLandsOnceAfterTheWord)
{
    startKestrelix();
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    m_user->typeKeys("cceav x");
    EXPECT_TRUE(field->waitForText("בבקשה ס")) << field->text() << '\n' << log();
}

// A browser gets the rewrite by paste; afterwards the clipboard holds the user's copy again, in
// both its formats.
TEST_F(KestrelixEndToEndTest, PasteRewriteGivesTheClipboardBack)
{
    startKestrelix();
    platform::x11::QtPasteboard pasteboard;
    const auto browser = frontField("firefox", {"--copy", "the user's copy", "<b>the user's copy</b>"});
    ASSERT_TRUE(browser);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return pasteboard.string() == "the user's copy"; }, 5));
    const auto before = pasteboard.changeCount();

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(browser->waitForText("בבקשה ")) << browser->text() << '\n' << log();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return pasteboard.changeCount() != before; }, 2))
        << "the rewrite went through the clipboard";
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto items = pasteboard.items();
            return items.size() == 1 && items[0].contains("text/html") &&
                   items[0].at("text/plain") == "the user's copy" &&
                   items[0].at("text/html") == "<b>the user's copy</b>";
        },
        3))
        << "clipboard: " << pasteboard.string().value_or("(nothing)");
}

// A second start while one runs says so on standard error and exits 0; the first keeps correcting.
TEST_F(KestrelixEndToEndTest, SecondInstanceLeavesTheFirstRunning)
{
    startKestrelix();
    const Outcome second = runToEnd(homeVariables(m_home.path()));
    EXPECT_EQ(second.output, "Kestrelix: another instance is already running — exiting\n");
    EXPECT_EQ(second.status, 0);
    ASSERT_TRUE(appRunning());

    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);
    m_user->typeKeys("cceav ");
    EXPECT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
}

// A second X display of the same user (another seat, a nested or remote session) runs its own
// instance; on that display too a second start is refused.
TEST_F(KestrelixEndToEndTest, EachDisplayRunsItsOwnInstance)
{
    startKestrelix();
    const std::string number = DesktopSession::shared().startPrinting(
        {"Xvfb", "-displayfd", "{fd}", "-noreset", "-nolisten", "tcp", "-screen", "0", "800x600x24"});
    ASSERT_FALSE(number.empty()) << "a second Xvfb did not start";
    const test::TempFolder otherHome("kx-e2e");
    std::vector<std::string> onOtherDisplay = homeVariables(otherHome.path());
    onOtherDisplay.push_back("DISPLAY=:" + number);

    std::vector<std::string> command = {"env"};
    command.insert(command.end(), onOtherDisplay.begin(), onOtherDisplay.end());
    command.push_back(KX_EXECUTABLE);
    const pid_t other = DesktopSession::shared().start(command);
    ASSERT_GT(other, 0);
    const auto otherLog = [&] { return fileText(otherHome / "state/kestrelix/kestrelix.log"); };
    EXPECT_TRUE(DesktopSession::waitFor([&] { return otherLog().find("launch — build") != std::string::npos; }, 10))
        << "the instance on :" << number << " did not start:\n" << otherLog();
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0) << "the instance on :" << number << " exited";

    const Outcome third = runToEnd(onOtherDisplay);
    EXPECT_EQ(third.output, "Kestrelix: another instance is already running — exiting\n");
    EXPECT_EQ(third.status, 0);
    EXPECT_TRUE(appRunning()) << "the first display's instance keeps running";
    DesktopSession::shared().stop(other);
}

// Started with damaged settings (troubleshooting on in them), a history and a log that is a link:
// the history is kept whole (set aside with the settings once the launch writes new ones), the
// link's target is not written, and the log of this launch says why, after its reset.
TEST_F(KestrelixEndToEndTest, DamagedSettingsKeepTheHistoryAndTheLogSaysWhy)
{
    std::ofstream(m_home / "config/kestrelix/defaults.json")
        << R"({"kestrelix.seenWalkthrough": true, "kestrelix.troubleshooting": true,})";
    const std::string history = R"([{"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "at": "2026-03-01T09:15:02Z",
        "appName": "Mail", "appBundleID": "a.Mail", "original": "x", "corrected": "y", "fromLayout": "A",
        "toLayout": "B", "kind": "auto", "retroCount": 0, "rating": "none"}])";
    std::filesystem::create_directories(m_home / "data/kestrelix");
    std::ofstream(m_home / "data/kestrelix/history.json") << history;
    std::filesystem::create_directories(m_home / "state/kestrelix");
    std::ofstream(m_home / "elsewhere") << "previous launch\n";
    std::filesystem::create_symlink(m_home / "elsewhere", m_home / "state/kestrelix/kestrelix.log");

    startKestrelix();
    std::vector<std::string> histories;
    for (const auto& entry : std::filesystem::directory_iterator(m_home / "data/kestrelix"))
        histories.push_back(fileText(entry.path()));
    EXPECT_EQ(histories, std::vector<std::string>{history});
    EXPECT_EQ(fileText(m_home / "elsewhere"), "previous launch\n");
    EXPECT_FALSE(std::filesystem::is_symlink(m_home / "state/kestrelix/kestrelix.log"));
    const std::string logged = log();
    EXPECT_NE(logged.find("defaults: cannot read"), std::string::npos) << logged;
    EXPECT_NE(logged.find("history: the settings cannot be read, so"), std::string::npos) << logged;
    EXPECT_LT(logged.find("history: the settings cannot be read"), logged.find("launch — build")) << logged;
}

// Without DISPLAY the application says in one line that it needs an X11 session, and exits 1.
TEST(KestrelixEndToEndLaunch, WithoutDisplayExitsWithOneLine)
{
    const test::TempFolder home("kx-e2e");
    const Outcome outcome = runToEnd(homeVariables(home.path()), {"DISPLAY", "XDG_SESSION_TYPE"});
    EXPECT_EQ(outcome.output, "Kestrelix: no X11 display (DISPLAY is not set); Kestrelix needs an X11 session\n");
    EXPECT_EQ(outcome.status, 1);
}

}  // namespace
}  // namespace kx
