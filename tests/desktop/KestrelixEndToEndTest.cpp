// The real executable on the test desktop: a probe window in front, another X client typing, and
// what the user would see in the field, the keyboard's group and the clipboard.

#include "ClipboardManager.h"
#include "HungClipboardOwner.h"
#include "KestrelixFixture.h"
#include "RunCommand.h"
#include "platform/x11/QtPasteboard.h"
#include "platform/x11/XClientPid.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <csignal>

namespace kx {
namespace {

using test::currentGroup;
using test::DesktopSession;
using test::fileText;
using test::homeVariables;
using test::TextField;
namespace Keycode = test::Keycode;

// Whether a viewable top-level window titled title is on display (a server without a window
// manager: top-level windows are the root's children).
bool windowShown(const std::string& display, const std::string& title)
{
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection)
        return false;
    const Atom netName = XInternAtom(connection, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(connection, "UTF8_STRING", False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    bool shown = false;
    if (XQueryTree(connection, DefaultRootWindow(connection), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !shown; ++i) {
            Atom type = 0;
            int format = 0;
            unsigned long length = 0, remaining = 0;
            unsigned char* name = nullptr;
            XWindowAttributes attributes{};
            if (XGetWindowProperty(connection, children[i], netName, 0, 256, False, utf8, &type, &format, &length,
                                   &remaining, &name) == Success &&
                name && XGetWindowAttributes(connection, children[i], &attributes))
                shown = attributes.map_state == IsViewable &&
                        std::string(reinterpret_cast<const char*>(name), length) == title;
            XFree(name);
        }
        XFree(children);
    }
    XCloseDisplay(connection);
    return shown;
}

// Every keycode's core symbols, to tell whether a run left the keymap as it found it.
std::vector<KeySym> coreKeymap()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    int min = 0;
    int max = 0;
    XDisplayKeycodes(display, &min, &max);
    int width = 0;
    KeySym* mapping = XGetKeyboardMapping(display, static_cast<KeyCode>(min), max - min + 1, &width);
    std::vector<KeySym> symbols(mapping, mapping + static_cast<std::ptrdiff_t>(max - min + 1) * width);
    XFree(mapping);
    XCloseDisplay(display);
    return symbols;
}

bool rootHasProperty(const char* name)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    int count = 0;
    Atom* properties = XListProperties(display, DefaultRootWindow(display), &count);
    const Atom wanted = XInternAtom(display, name, True);
    const bool found = wanted != None && std::find(properties, properties + count, wanted) != properties + count;
    XFree(properties);
    XCloseDisplay(display);
    return found;
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

class KestrelixEndToEndTest : public test::KestrelixFixture {
protected:
    // Another X server, with these options added; its display name, empty when it did not start.
    static std::string startOtherDisplay(const std::vector<std::string>& options = {})
    {
        std::vector<std::string> command = {"Xvfb", "-displayfd", "{fd}", "-noreset",  "-nolisten",
                                            "tcp",  "-screen",    "0",    "800x600x24"};
        command.insert(command.end(), options.begin(), options.end());
        const std::string number = DesktopSession::shared().startPrinting(command);
        return number.empty() ? std::string() : ":" + number;
    }
    // Starts the executable on display, its settings, log and history under home.
    static pid_t startOn(const std::string& display, const std::filesystem::path& home)
    {
        std::vector<std::string> command = {"env", "DISPLAY=" + display};
        const auto variables = homeVariables(home);
        command.insert(command.end(), variables.begin(), variables.end());
        command.push_back(KX_EXECUTABLE);
        return DesktopSession::shared().start(command);
    }

    // A browser in front (rewritten by paste), where the user copied text in two formats.
    std::unique_ptr<TextField> browserWithUsersCopy(platform::x11::QtPasteboard& pasteboard)
    {
        auto browser = frontField("firefox", {"--copy", "the user's copy", "<b>the user's copy</b>"});
        if (browser && !DesktopSession::waitFor([&] { return pasteboard.string() == "the user's copy"; }, 5)) {
            ADD_FAILURE() << "the user's copy did not reach the clipboard";
            return nullptr;
        }
        return browser;
    }
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

// Greek typed on the English layout comes back with its tonos, typed on the key of ";" there, and
// the keyboard goes over to Greek.
TEST_F(KestrelixEndToEndTest, RewritesGreekWithItsAccents)
{
    ASSERT_TRUE(test::setLayouts({"us", "gr"}));
    startKestrelix();
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    constexpr unsigned semicolon = 47;
    m_user->typeKeys("kalhm");
    m_user->tap(semicolon);
    m_user->typeKeys("era ");
    EXPECT_TRUE(field->waitForText("καλημέρα ")) << field->text() << '\n' << log();
    EXPECT_TRUE(DesktopSession::waitFor([] { return currentGroup() == 1; }, 2)) << "group " << currentGroup();
}

// Greek typed right, its tonos composed by the field, is left as typed; the English word typed
// on the Greek layout after it proves the words were judged.
TEST_F(KestrelixEndToEndTest, LeavesGreekTypedRightAlone)
{
    ASSERT_TRUE(test::setLayouts({"us", "gr"}));
    startKestrelix();
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    m_user->lockGroup(1);
    constexpr unsigned semicolon = 47;
    ASSERT_TRUE(m_user->typeOverlapping("καλημ", "gr", {}));
    m_user->tap(semicolon);
    ASSERT_TRUE(m_user->typeOverlapping("ερα ", "gr", {}));
    ASSERT_TRUE(field->waitForText("καλημέρα ")) << field->text() << '\n' << log();
    m_user->typeKeys("hello ");
    EXPECT_TRUE(field->waitForText("καλημέρα hello ")) << field->text() << '\n' << log();
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
    // A user reading the word: the rewrite's last pause is over by then.
    ASSERT_TRUE(rewriteOver()) << log();
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
// nothing corrected, and with a key typed since the correction. Ctrl+Alt+Z with nothing to undo
// is the application's too.
TEST_F(KestrelixEndToEndTest, CtrlZReachesTheApplicationWhenNotUndoingACorrection)
{
    startKestrelix();
    const test::TempFolder keys("kx-keys");
    const auto field = frontField("KxEditor", {"--keys", (keys / "log").string()});
    ASSERT_TRUE(field);

    m_user->tap(Keycode::z, {Keycode::control, Keycode::alt});
    EXPECT_TRUE(DesktopSession::waitFor([&] { return chords(keys / "log").size() == 1; }, 3)) << fileText(keys / "log");
    EXPECT_EQ(chords(keys / "log").front(), "Ctrl+Alt+Z");

    m_user->typeKeys("hello ");
    ASSERT_TRUE(field->waitForText("hello "));
    m_user->tap(Keycode::z, {Keycode::control});
    EXPECT_TRUE(DesktopSession::waitFor([&] { return chords(keys / "log").size() == 2; }, 3)) << fileText(keys / "log");
    EXPECT_TRUE(field->waitForText("")) << "the field's own undo took the typing back: " << field->text();

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
    ASSERT_TRUE(rewriteOver()) << log();
    m_user->typeKeys("x");
    ASSERT_TRUE(field->waitForText("בבקשה ס")) << field->text() << '\n' << log();
    m_user->tap(Keycode::z, {Keycode::control});
    EXPECT_TRUE(DesktopSession::waitFor([&] { return chords(keys / "log").size() == 3; }, 3)) << log();
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
    ASSERT_TRUE(rewriteOver()) << log();
    m_user->tap(Keycode::z, {Keycode::control});
    EXPECT_TRUE(field->waitForText("cceav ")) << field->text() << '\n' << log();
    // The undo is over; a Ctrl+Z handed on would have reached the field before its keys.
    ASSERT_TRUE(rewriteOver()) << log();
    EXPECT_TRUE(chords(keys / "log").empty()) << fileText(keys / "log");
}

// What runs of the program killed earlier in the X session leave behind: every spare keycode lent
// a character and listed on the root window as lent. Emptied again when it goes.
class SparesLeftLent {
public:
    SparesLeftLent() : m_display(XOpenDisplay(nullptr))
    {
        int min = 0;
        int max = 0;
        XDisplayKeycodes(m_display, &min, &max);
        int width = 0;
        KeySym* mapping = XGetKeyboardMapping(m_display, static_cast<unsigned char>(min), max - min + 1, &width);
        for (int keycode = min; mapping && keycode <= max; ++keycode) {
            const KeySym* row = mapping + static_cast<std::ptrdiff_t>(keycode - min) * width;
            if (std::all_of(row, row + width, [](KeySym k) { return k == NoSymbol; }))
                m_lent.push_back(keycode);
        }
        if (mapping)
            XFree(mapping);
        for (std::size_t i = 0; i < m_lent.size(); ++i) {
            KeySym check[2] = {0x1002713 + i, 0x1002713 + i};
            XChangeKeyboardMapping(m_display, static_cast<int>(m_lent[i]), 2, check, 1);
        }
        XChangeProperty(m_display, DefaultRootWindow(m_display), lentAtom(), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(m_lent.data()), static_cast<int>(m_lent.size()));
        XSync(m_display, False);
    }
    ~SparesLeftLent()
    {
        for (const long keycode : m_lent) {
            KeySym empty[2] = {NoSymbol, NoSymbol};
            XChangeKeyboardMapping(m_display, static_cast<int>(keycode), 2, empty, 1);
        }
        XDeleteProperty(m_display, DefaultRootWindow(m_display), lentAtom());
        XCloseDisplay(m_display);
    }
    SparesLeftLent(const SparesLeftLent&) = delete;
    SparesLeftLent& operator=(const SparesLeftLent&) = delete;

    std::size_t count() const { return m_lent.size(); }

private:
    Atom lentAtom() { return XInternAtom(m_display, "_KESTRELIX_LENT_KEYCODES", False); }

    Display* m_display;
    std::vector<long> m_lent;
};

// Earlier runs in the same X session that were killed with every spare keycode lent leave this
// run's Hebrew and Russian rewrites whole: letters of a layout go out on that layout's own keys.
TEST_F(KestrelixEndToEndTest, RewritesStayWholeAfterEarlierRunsUsedUpTheSpares)
{
    ASSERT_TRUE(test::setLayouts({"us", "il", "ru"}));
    const SparesLeftLent leftovers;
    ASSERT_GT(leftovers.count(), 0u);
    startKestrelix();
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
    m_user->lockGroup(0);
    m_user->typeKeys("ghbdtn ");
    EXPECT_TRUE(field->waitForText("בבקשה привет ")) << field->text() << '\n' << log();
    EXPECT_EQ(log().find("no key can type"), std::string::npos) << log();
}

// Ctrl+Alt+K and Ctrl+Alt+Z with Ctrl and Alt held on after the key, as users do: the selection
// is converted exactly and the undo gives it back exactly, nothing typed as a shortcut.
TEST_F(KestrelixEndToEndTest, HotKeysWithModifiersHeldConvertAndUndoExactly)
{
    startKestrelix();
    const auto field = frontField("KxEditor", {"--text", "akuo jcrho", "--select", "0", "10"});
    ASSERT_TRUE(field);
    // Ctrl and Alt stay down until the program has taken the chord and holds the keyboard.
    const auto chordHeld = [&](unsigned keycode, const std::string& result) {
        m_user->key(Keycode::control, true);
        m_user->key(Keycode::alt, true);
        m_user->tap(keycode);
        EXPECT_TRUE(DesktopSession::waitFor(test::keyboardGrabbed, 3)) << log();
        m_user->key(Keycode::alt, false);
        m_user->key(Keycode::control, false);
        EXPECT_TRUE(field->waitForText(result)) << field->text() << '\n' << log();
        EXPECT_TRUE(rewriteOver()) << log();
    };

    chordHeld(Keycode::k, "שלום חברים");
    chordHeld(Keycode::z, "akuo jcrho");
}

// A GTK entry in front, with the text it holds.
class GtkField {
public:
    GtkField()
    {
        m_pid =
            DesktopSession::shared().start({"/usr/bin/python3", KX_GTK_PROBE, (m_folder / "text").string()}, {}, true);
    }
    ~GtkField()
    {
        if (m_pid > 0)
            DesktopSession::shared().stop(m_pid);
    }
    GtkField(const GtkField&) = delete;
    GtkField& operator=(const GtkField&) = delete;

    pid_t pid() const { return m_pid; }
    std::string text() const { return fileText(m_folder / "text"); }
    bool waitForText(const std::string& expected) const
    {
        return DesktopSession::waitFor([&] { return text() == expected; }, 3.0);
    }

private:
    test::TempFolder m_folder{"kx-gtk"};
    pid_t m_pid = -1;
};

// Keys typed before the user switched layouts are joined with the word after the switch, in a
// GTK entry, once the screen was read and seen to hold the keys in the old layout.
TEST_F(KestrelixEndToEndTest, OrphanKeysAreJoinedInAGtkEntryAfterTheScreenConfirmsThem)
{
    startKestrelix();
    const GtkField field;
    ASSERT_GT(field.pid(), 0) << "GTK 3 with Python bindings is needed (scripts/bootstrap installs them)";
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto app = m_workspace->frontApplication();
            return app && app->pid == field.pid();
        },
        5));

    m_user->typeKeys("a");
    ASSERT_TRUE(field.waitForText("a"));
    m_user->lockGroup(1);
    ASSERT_TRUE(DesktopSession::waitFor([] { return currentGroup() == 1; }, 3));
    m_user->typeKeys("kuo ");
    EXPECT_TRUE(field.waitForText("שלום ")) << field.text() << '\n' << log();
    EXPECT_TRUE(DesktopSession::waitFor([&] { return log().find("screen confirmed") != std::string::npos; }, 2))
        << log();
}

// Ctrl+Alt+K in a terminal with nothing to convert is only logged: no Ctrl+C reaches the program
// running there, which reads the line the user types next.
TEST_F(KestrelixEndToEndTest, ConvertHotKeyLeavesATerminalsProgramRunning)
{
    startKestrelix();
    const test::TempFolder folder("kx-xterm");
    const auto pidFile = folder / "pid";
    const auto lineFile = folder / "line";
    const pid_t terminal =
        DesktopSession::shared().start({"xterm", "-e", "sh", "-c",
                                        "echo $$ > '" + pidFile.string() + "'; read -r line; echo \"$line\" > '" +
                                            lineFile.string() + "'; exec sleep 60"});
    ASSERT_GT(terminal, 0) << "xterm is needed (scripts/bootstrap installs it)";
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto app = m_workspace->frontApplication();
            return app && app->pid == terminal && !fileText(pidFile).empty();
        },
        10))
        << "the terminal did not come to the front";
    const pid_t sleeper = std::stoi(fileText(pidFile));

    m_user->tap(Keycode::k, {Keycode::control, Keycode::alt});
    EXPECT_TRUE(DesktopSession::waitFor([&] { return log().find("⌥⌘K → nothing to do") != std::string::npos; }, 3))
        << log();
    // A Ctrl+C would have reached the terminal before these keys and ended the reading shell.
    m_user->typeKeys("done");
    m_user->tap(Keycode::return_);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return fileText(lineFile) == "done\n"; }, 3))
        << "the program in the terminal was interrupted";
    EXPECT_EQ(::kill(sleeper, 0), 0) << "the program in the terminal was interrupted";
    DesktopSession::shared().stop(terminal);
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
    const auto browser = browserWithUsersCopy(pasteboard);
    ASSERT_TRUE(browser);
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

// A browser's rewrite while the clipboard's owner hangs is typed instead of pasted, without
// waiting for the owner, whose clipboard is left alone.
TEST_F(KestrelixEndToEndTest, HungClipboardOwnerGetsTheRewriteTyped)
{
    startKestrelix();
    const auto browser = frontField("firefox");
    ASSERT_TRUE(browser);
    const test::HungClipboardOwner hung;
    ASSERT_TRUE(hung.owns());
    platform::x11::QtPasteboard pasteboard;
    const auto before = pasteboard.changeCount();

    m_user->typeKeys("cceav x");
    EXPECT_TRUE(browser->waitForText("בבקשה ס")) << browser->text() << '\n' << log();
    EXPECT_NE(log().find("typing instead of pasting"), std::string::npos) << log();
    EXPECT_EQ(pasteboard.changeCount(), before) << "the clipboard was not taken";
}

// Quitting (SIGTERM) in the middle of a paste rewrite lets the rewrite finish, leaves no key held
// or grabbed, and hands the user's clipboard, given back after the paste, to the clipboard manager.
TEST_F(KestrelixEndToEndTest, QuitDuringPasteRewriteHandsTheClipboardOver)
{
    const test::ClipboardManager manager;
    ASSERT_TRUE(manager.ok());
    startKestrelix();
    platform::x11::QtPasteboard pasteboard;
    const auto browser = browserWithUsersCopy(pasteboard);
    ASSERT_TRUE(browser);
    const auto before = pasteboard.changeCount();

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(DesktopSession::waitFor([&] { return pasteboard.changeCount() != before; }, 3))
        << "the rewrite went through the clipboard\n"
        << log();
    const std::optional<int> quit = quitKestrelix();
    ASSERT_TRUE(quit) << "kestrelix did not quit\n" << log();
    const int status = *quit;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_NE(log().find("quitting on SIGTERM"), std::string::npos) << log();

    EXPECT_TRUE(browser->waitForText("בבקשה ")) << browser->text() << '\n' << log();
    EXPECT_EQ(manager.saves(), 1);
    const auto saved = manager.saved();
    EXPECT_EQ(saved.contains("text/html") ? saved.at("text/html") : "", "<b>the user's copy</b>");
    EXPECT_TRUE(DesktopSession::waitFor([&] { return pasteboard.string() == "the user's copy"; }, 3))
        << "clipboard: " << pasteboard.string().value_or("(nothing)");

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False)), manager.window());
    char keys[32];
    XQueryKeymap(display, keys);
    EXPECT_EQ(std::string(keys, sizeof keys), std::string(sizeof keys, '\0')) << "a key is still down";
    EXPECT_EQ(XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync, CurrentTime),
              GrabSuccess);
    XUngrabKeyboard(display, CurrentTime);
    XCloseDisplay(display);
}

// With no clipboard manager, quitting after a paste rewrite leaves the user's copy in the
// clipboard, served by a detached process of ours that holds none of the program's files and ends
// once another program copies.
TEST_F(KestrelixEndToEndTest, QuitAfterPasteRewriteWithoutClipboardManagerKeepsTheClipboard)
{
    startKestrelix();
    platform::x11::QtPasteboard pasteboard;
    const auto browser = browserWithUsersCopy(pasteboard);
    ASSERT_TRUE(browser);
    const int probe = browser->pid();
    m_user->typeKeys("cceav ");
    ASSERT_TRUE(browser->waitForText("בבקשה ")) << browser->text() << '\n' << log();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const auto ownerPid = [&] { return platform::x11::clientPid(display, XGetSelectionOwner(display, clipboard)); };
    ASSERT_TRUE(
        DesktopSession::waitFor([&] { return ownerPid() == m_app && pasteboard.string() == "the user's copy"; }, 5))
        << "the clipboard is back with the user's copy, held by kestrelix (owner pid " << ownerPid() << ", probe "
        << probe << ")\n"
        << log();

    const pid_t app = m_app;
    const std::optional<int> quit = quitKestrelix();
    ASSERT_TRUE(quit) << "kestrelix did not quit\n" << log();
    EXPECT_TRUE(WIFEXITED(*quit) && WEXITSTATUS(*quit) == 0) << "status " << *quit;
    EXPECT_TRUE(DesktopSession::waitFor([&] { return pasteboard.string() == "the user's copy"; }, 3))
        << "clipboard: " << pasteboard.string().value_or("(nothing)") << '\n'
        << log();
    const auto items = pasteboard.itemsWithin(3);
    ASSERT_TRUE(items && items->size() == 1) << "the clipboard answers";
    EXPECT_EQ(items->front().contains("text/html") ? items->front().at("text/html") : "", "<b>the user's copy</b>");

    const int keeper = ownerPid();
    ASSERT_GT(keeper, 0);
    EXPECT_NE(keeper, app);
    EXPECT_EQ(::getsid(keeper), keeper) << "the keeper leads a session of its own";
    const std::string proc = "/proc/" + std::to_string(keeper);
    EXPECT_EQ(fileText(proc + "/cmdline").find("the user's copy"), std::string::npos);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(proc + "/fd"))
        ++files;
    EXPECT_LE(files, 4u) << "standard input, output, error and its X connection";

    // Another copy takes the clipboard over and the keeper goes.
    pasteboard.clearContents();
    pasteboard.setString("a later copy");
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            const std::string stat = fileText(proc + "/stat");
            return stat.empty() || stat.find(") Z") != std::string::npos;
        },
        3))
        << "the keeper still runs";
    XCloseDisplay(display);
}

// Quitting as soon as the corrector is ready, again and again, ends with status 0 (a sanitized
// build fails on any memory fault) and gives back the spare keycodes it holds (here the ones a
// killed run left lent): the keymap as it was before them, and no keycode marked as lent.
TEST_F(KestrelixEndToEndTest, QuickQuitAfterReadyExitsCleanly)
{
    const auto keymap = coreKeymap();
    ASSERT_FALSE(keymap.empty());
    for (int round = 0; round < 3; ++round) {
        const SparesLeftLent leftovers;
        ASSERT_GT(leftovers.count(), 0u);
        // The last round's "ready" must not be taken for this one's.
        std::filesystem::remove(m_home / "state/kestrelix/kestrelix.log");
        startKestrelix();
        const std::optional<int> quit = quitKestrelix();
        ASSERT_TRUE(quit) << "kestrelix did not quit\n" << log();
        const int status = *quit;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round << ", status " << status;
        EXPECT_EQ(coreKeymap(), keymap) << "round " << round;
        EXPECT_FALSE(rootHasProperty("_KESTRELIX_LENT_KEYCODES")) << "round " << round;
    }
}

// A second start while one runs says so on standard error and exits 0; the first keeps correcting.
TEST_F(KestrelixEndToEndTest, SecondInstanceLeavesTheFirstRunning)
{
    startKestrelix();
    const Outcome second = runToEnd(homeVariables(m_home.path()));
    EXPECT_EQ(second.output.rfind("Kestrelix: another instance is already running — exiting\n", 0), 0u)
        << second.output;
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
    const std::string display = startOtherDisplay();
    ASSERT_FALSE(display.empty()) << "a second Xvfb did not start";
    const test::TempFolder otherHome("kx-e2e");
    const pid_t other = startOn(display, otherHome.path());
    ASSERT_GT(other, 0);
    const auto otherLog = [&] { return fileText(otherHome / "state/kestrelix/kestrelix.log"); };
    EXPECT_TRUE(DesktopSession::waitFor([&] { return otherLog().find("launch — build") != std::string::npos; }, 10))
        << "the instance on " << display << " did not start:\n"
        << otherLog();
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0) << "the instance on " << display << " exited";

    std::vector<std::string> onOtherDisplay = homeVariables(otherHome.path());
    onOtherDisplay.push_back("DISPLAY=" + display);
    const Outcome third = runToEnd(onOtherDisplay);
    EXPECT_EQ(third.output.rfind("Kestrelix: another instance is already running — exiting\n", 0), 0u) << third.output;
    EXPECT_EQ(third.status, 0);
    EXPECT_TRUE(appRunning()) << "the first display's instance keeps running";
    DesktopSession::shared().stop(other);
}

// On an X server without RECORD the application keeps running with the corrector off: Input
// Monitoring counts as missing, and the setup window says what to do.
TEST_F(KestrelixEndToEndTest, DisplayWithoutRecordRunsOffWithTheSetupWindow)
{
    const std::string display = startOtherDisplay({"-extension", "RECORD"});
    ASSERT_FALSE(display.empty()) << "an Xvfb without RECORD did not start";
    const pid_t app = startOn(display, m_home.path());
    ASSERT_GT(app, 0);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return log().find("permissions ax=") != std::string::npos; }, 10))
        << log();
    EXPECT_NE(log().find("im=false"), std::string::npos) << log();
    EXPECT_TRUE(DesktopSession::waitFor([&] { return windowShown(display, "Kestrelix Setup — Beta"); }, 10))
        << "no setup window on " << display;
    EXPECT_EQ(::waitpid(app, nullptr, WNOHANG), 0) << "kestrelix exited\n" << log();
    EXPECT_EQ(log().find("event tap installed"), std::string::npos) << log();
    DesktopSession::shared().stop(app);
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
    const auto cannotRead = logged.find("defaults: cannot read");
    EXPECT_NE(cannotRead, std::string::npos) << logged;
    EXPECT_EQ(logged.find("defaults: cannot read", cannotRead + 1), std::string::npos) << logged;
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
