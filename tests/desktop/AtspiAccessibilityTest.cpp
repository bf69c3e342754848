#include "platform/x11/AtspiAccessibility.h"

#include "DesktopSession.h"
#include "KeyboardScene.h"
#include "controller/AXCaret.h"
#include "platform/SerialQueue.h"
#include "platform/x11/AtspiObject.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/QtMainQueue.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11SecureInput.h"
#include "platform/x11/X11Workspace.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <atspi/atspi-constants.h>

#include <atomic>

#include <unistd.h>

namespace kx::platform::x11 {
namespace {

using test::DesktopSession;

// Qt applications speak AT-SPI only when told to, or when the desktop enabled accessibility.
const std::vector<std::string> qtAccessible = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"};

// Scalar offsets become UTF-16 offsets: astral characters count twice, beyond the end one each.
TEST(AtspiOffsets, ScalarsBecomeUtf16Units)
{
    const std::u32string text = U"a\U0001F600b";
    struct Row {
        std::int64_t scalars;
        std::int64_t units;
    };
    for (const auto row : {Row{0, 0}, Row{1, 1}, Row{2, 3}, Row{3, 4}, Row{5, 6}, Row{-1, -1}})
        EXPECT_EQ(AtspiAccessibility::utf16Offset(text, row.scalars), row.units) << "scalar offset " << row.scalars;
}

class AtspiAccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        m_session = std::make_unique<AtspiSession>();
        if (!m_session->connected(10))
            GTEST_SKIP() << "no accessibility bus";
        m_accessibility = std::make_unique<AtspiAccessibility>(*m_session);
    }
    void TearDown() override
    {
        for (const pid_t pid : m_started)
            DesktopSession::shared().stop(pid);
    }

    // Starts a Qt field and waits until its text can be read through the bus.
    pid_t startField(const std::string& wmClass, const std::vector<std::string>& options, const std::string& text)
    {
        std::vector<std::string> argv = {KX_DESKTOP_PROBE, "--class", wmClass, "--text", text};
        argv.insert(argv.end(), options.begin(), options.end());
        return started(DesktopSession::shared().start(argv, qtAccessible, true), text);
    }
    pid_t started(pid_t pid, const std::string& text)
    {
        m_started.push_back(pid);
        if (pid > 0)
            DesktopSession::waitFor([&] { return m_accessibility->focusedValue(0.5) == text; }, 15);
        return pid;
    }
    // The caret reader's answer, as the controller gets it.
    std::optional<std::string> readTail(int count)
    {
        QtMainQueue main;
        const auto queue = SerialQueue::threaded("app.kestrelix.ax");
        AXCaret caret(*m_accessibility, *queue, main);
        std::optional<std::optional<std::string>> answer;
        caret.readTail(count, 0.25, [&](std::optional<std::string> text) { answer = std::move(text); });
        DesktopSession::waitFor([&] { return answer.has_value(); }, 5);
        return answer.value_or(std::nullopt);
    }

    // Whether a window of the application of pid says it has the keyboard focus.
    bool hasActiveWindow(pid_t pid)
    {
        const auto active = std::make_shared<std::atomic<bool>>(false);
        m_session->run(
            [active, pid](DBusConnection* bus, const AtspiObject*, int timeoutMs) {
                for (const auto& app : AtspiObject::desktop().children(bus, timeoutMs)) {
                    if (app.pid(bus, timeoutMs) != pid)
                        continue;
                    for (const auto& window : app.children(bus, timeoutMs))
                        *active = *active || window.has(bus, ATSPI_STATE_ACTIVE, timeoutMs);
                }
            },
            0.25, 1.0);
        return *active;
    }

    std::unique_ptr<AtspiSession> m_session;
    std::unique_ptr<AtspiAccessibility> m_accessibility;
    std::vector<pid_t> m_started;
};

// The text before a Qt field's caret: none at the start, part of it, all of it when count is larger.
TEST_F(AtspiAccessibilityTest, ReadsTailOfQtField)
{
    struct Row {
        int caret;
        int count;
        std::string expected;
    };
    for (const auto& row : {Row{0, 5, ""}, Row{5, 3, "llo"}, Row{5, 40, "hello"}, Row{11, 5, "world"}}) {
        const pid_t field = startField("KxField", {"--caret", std::to_string(row.caret)}, "hello world");
        ASSERT_GT(field, 0);
        EXPECT_EQ(readTail(row.count), row.expected) << "caret " << row.caret << ", count " << row.count;
        DesktopSession::shared().stop(field);
    }
}

// A selection reads as its range and text, and the tail ends where the selection starts.
TEST_F(AtspiAccessibilityTest, ReadsSelectionOfQtField)
{
    ASSERT_GT(startField("KxField", {"--select", "6", "11"}, "hello world"), 0);
    EXPECT_EQ(m_accessibility->selectedRange(0.25), (TextRange{6, 5}));
    EXPECT_EQ(m_accessibility->selectedText(0.25), "world");
    EXPECT_EQ(readTail(3), "lo ");
}

// A GTK entry with text beyond the Basic Multilingual Plane: offsets come out in UTF-16 units.
TEST_F(AtspiAccessibilityTest, ReadsTailOfGtkEntry)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no system Python for the GTK entry";
    const std::string text = "héllo 😀 wörld";
    const pid_t entry =
        started(DesktopSession::shared().start(
                    {"/usr/bin/python3", "-c", test::gtkEntryScript, "KxGtk", "-", text, "7"}, {}, true),
                text);
    if (entry <= 0)
        GTEST_SKIP() << "GTK 3 with Python bindings is not available";
    EXPECT_EQ(m_accessibility->selectedRange(0.25), (TextRange{8, 0}));
    EXPECT_EQ(readTail(4), "o 😀");
}

// Another client's keyboard grab (a hot key's, while its key is down) takes the focus from the GTK
// window in front for its length: the field there reads as before, selection and all.
TEST_F(AtspiAccessibilityTest, GtkFieldInFrontReadsThroughAKeyboardGrab)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no system Python for the GTK entry";
    const pid_t entry = started(
        DesktopSession::shared().start({"/usr/bin/python3", KX_GTK_PROBE, "--text", "akuo jcrho", "--select"}, {}, true),
        "akuo jcrho");
    if (entry <= 0)
        GTEST_SKIP() << "GTK 3 with Python bindings is not available";
    m_session->setFrontProcess(entry);
    ASSERT_EQ(m_accessibility->selectedText(0.25), "akuo jcrho");

    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    // Never managed, as the root a passive grab is on: only the grab moves the focus.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window grabber = XCreateWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                                         CopyFromParent, CWOverrideRedirect, &attributes);
    XMapRaised(other, grabber);
    XSync(other, False);
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return XGrabKeyboard(other, grabber, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess; },
        5));
    EXPECT_TRUE(DesktopSession::waitFor([&] { return !hasActiveWindow(entry); }, 5)) << "GTK takes in the grab";
    EXPECT_EQ(m_accessibility->selectedRange(0.25), (TextRange{0, 10}));
    EXPECT_EQ(m_accessibility->selectedText(0.25), "akuo jcrho");

    XUngrabKeyboard(other, CurrentTime);
    XCloseDisplay(other);
}

// Without a focused text element there is nothing to read, and no wait beyond the time-outs.
TEST_F(AtspiAccessibilityTest, NothingFocusedReadsNone)
{
    const pid_t field = startField("KxField", {}, "gone soon");
    DesktopSession::shared().stop(field);
    DesktopSession::waitFor([&] { return !m_accessibility->focusedValue(0.25).has_value(); }, 5);
    EXPECT_EQ(m_accessibility->focusedValue(0.25), std::nullopt);
    EXPECT_EQ(readTail(5), std::nullopt);
}

class X11SecureInputTest : public AtspiAccessibilityTest {};

// A focused password field turns secure input on, held by the field's application.
TEST_F(X11SecureInputTest, PasswordFieldTurnsItOn)
{
    X11Workspace workspace;
    X11SecureInput secure(*m_session, workspace);
    const pid_t plain = startField("KxPlain", {}, "visible");
    ASSERT_GT(plain, 0);
    EXPECT_FALSE(secure.isEnabled());
    EXPECT_EQ(secure.holderPid(), std::nullopt);

    const pid_t password = DesktopSession::shared().start(
        {KX_DESKTOP_PROBE, "--class", "KxPassword", "--password", "--text", "secret"}, qtAccessible, true);
    m_started.push_back(password);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return secure.isEnabled(); }, 15));
    EXPECT_EQ(secure.holderPid(), password);
    EXPECT_TRUE(secure.isProcessAlive(password));
    EXPECT_EQ(m_accessibility->focusedValue(0.25), std::nullopt) << "a password is never read";

    DesktopSession::shared().stop(password);
    EXPECT_FALSE(secure.isProcessAlive(password));
    EXPECT_TRUE(DesktopSession::waitFor([&] { return !secure.isEnabled(); }, 15)) << "off when the field is gone";
}

// A GTK password entry is never taken for a plain field, from the moment its window comes to the
// front, however soon after a key typed elsewhere, and before its application has registered on
// the bus: unknown until it has been looked up, then secure.
TEST_F(X11SecureInputTest, GtkPasswordEntryIsSeenAtOnce)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no system Python for the GTK entry";
    X11Workspace workspace;
    X11SecureInput secure(*m_session, workspace);
    const pid_t plain = startField("KxPlain", {}, "visible");
    ASSERT_GT(plain, 0);
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto front = workspace.frontApplication();
            return front && front->pid == plain;
        },
        5));
    EXPECT_FALSE(secure.isEnabled());

    const pid_t entry = DesktopSession::shared().start({"/usr/bin/python3", KX_GTK_PROBE, "--password"});
    if (entry <= 0)
        GTEST_SKIP() << "GTK 3 with Python bindings is not available";
    m_started.push_back(entry);
    // Keys typed all along into the plain field while the entry opens: no pause before its first,
    // which is never taken for a key into a plain field, though nobody waits for the bus.
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto front = workspace.frontApplication();
            const auto field = secure.fieldAtKey();
            if (!front || front->pid != entry)
                return false;
            EXPECT_NE(field, SecureInput::Field::open);
            return true;
        },
        10));
    EXPECT_TRUE(DesktopSession::waitFor([&] { return secure.fieldAtKey() == SecureInput::Field::secure; }, 5));
    EXPECT_TRUE(secure.isEnabled());
    EXPECT_EQ(secure.holderPid(), entry);
}

// The program's own hold of the keyboard during a rewrite never turns it on, however long.
TEST_F(X11SecureInputTest, OwnHoldIsNotSecureInput)
{
    X11Workspace workspace;
    X11SecureInput secure(*m_session, workspace);
    const auto keyboard = X11Keyboard::open();
    ASSERT_TRUE(keyboard);
    secure.ignoreOwnGrabs([&] { return keyboard->holding(); });
    keyboard->setHolding(true);
    ASSERT_TRUE(keyboard->holding());
    for (int probe = 0; probe < 3; ++probe)
        secure.refresh();
    EXPECT_FALSE(secure.isEnabled());
    keyboard->setHolding(false);
}

// Another client's keyboard grab turns it on once two probes see it, and off when released.
TEST_F(X11SecureInputTest, KeyboardGrabTurnsItOn)
{
    X11Workspace workspace;
    X11SecureInput secure(*m_session, workspace);
    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    const Window window = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 50, 50, 0, 0, 0);
    XMapRaised(other, window);
    XSync(other, False);
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return XGrabKeyboard(other, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess; },
        5));

    secure.refresh();
    EXPECT_FALSE(secure.isEnabled()) << "one probe may have met a key held down";
    secure.refresh();
    EXPECT_TRUE(secure.isEnabled());

    XUngrabKeyboard(other, CurrentTime);
    XSync(other, False);
    secure.refresh();
    EXPECT_FALSE(secure.isEnabled());
    XCloseDisplay(other);
}

// The status watch's check asks the server and the bus again only once told of a change: it sees
// a grab taken while no window comes to the front, its end, and a password field whose window does.
TEST_F(X11SecureInputTest, PolledCheckSeesWhatTheServerTells)
{
    X11Workspace workspace;
    X11SecureInput secure(*m_session, workspace);
    ASSERT_GT(startField("KxPlain", {}, "visible"), 0);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !secure.isEnabledPolled(); }, 5));
    // Polled as the status watch does, until past the few seconds in which the field's coming to
    // the front is checked for.
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !secure.isEnabledPolled() && !secure.settling(); }, 10));
    EXPECT_FALSE(secure.isEnabledPolled());

    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    // Never managed: the window manager gives it no focus, so only the grab moves the focus.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window prompt = XCreateWindow(other, DefaultRootWindow(other), 0, 0, 50, 50, 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWOverrideRedirect, &attributes);
    XMapRaised(other, prompt);
    XSync(other, False);
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return XGrabKeyboard(other, prompt, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess; },
        5));
    EXPECT_TRUE(DesktopSession::waitFor([&] { return secure.isEnabledPolled(); }, 5)) << "the grab is told";
    XUngrabKeyboard(other, CurrentTime);
    XSync(other, False);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return !secure.isEnabledPolled(); }, 5)) << "and its end";
    XCloseDisplay(other);

    const pid_t password = DesktopSession::shared().start(
        {KX_DESKTOP_PROBE, "--class", "KxPassword", "--password", "--text", "secret"}, qtAccessible, true);
    m_started.push_back(password);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return secure.isEnabledPolled(); }, 15));
    EXPECT_EQ(secure.holderPid(), password);
}

}  // namespace
}  // namespace kx::platform::x11
