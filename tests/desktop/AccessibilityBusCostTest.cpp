// What the program's use of the accessibility bus costs the applications on it, counted on the bus
// itself: no application is made to hand its keys to the registry, and reading before the caret
// moves only the characters asked for, however long the text.

#include "KestrelixFixture.h"
#include "controller/AXCaret.h"
#include "platform/SerialQueue.h"
#include "platform/x11/AtspiAccessibility.h"
#include "platform/x11/AtspiBusHealth.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/QtMainQueue.h"

#include <unistd.h>

namespace kx {
namespace {

using test::DesktopSession;
using test::fileText;
using test::TextField;

// The messages of the session's accessibility bus that match rule, as dbus-monitor prints them.
class BusMonitor {
public:
    explicit BusMonitor(const std::string& rule)
    {
        const std::string address = platform::x11::atspibus::address(5000);
        if (address.empty())
            return;
        m_pid = DesktopSession::shared().start(
            {"sh", "-c", "exec dbus-monitor --address \"$0\" \"$1\" > \"$2\"", address, rule, m_file.string()});
        // dbus-monitor prints the bus's greeting once it watches.
        if (m_pid > 0 && !DesktopSession::waitFor([&] { return text().find("NameAcquired") != std::string::npos; }, 5))
            stop();
    }
    ~BusMonitor() { stop(); }
    BusMonitor(const BusMonitor&) = delete;
    BusMonitor& operator=(const BusMonitor&) = delete;

    bool ok() const { return m_pid > 0; }
    std::string text() const { return fileText(m_file); }
    std::size_t count(const std::string& what) const
    {
        const std::string all = text();
        std::size_t found = 0;
        for (auto at = all.find(what); at != std::string::npos; at = all.find(what, at + 1))
            ++found;
        return found;
    }
    void stop()
    {
        if (m_pid > 0)
            DesktopSession::shared().stop(m_pid);
        m_pid = -1;
    }

private:
    test::TempFolder m_folder{"kx-monitor"};
    std::filesystem::path m_file = m_folder / "messages";
    pid_t m_pid = -1;
};

constexpr const char* keyCall = "member=NotifyListenersSync";

class AccessibilityBusCostTest : public test::KestrelixFixture {};

// Typing with the program running, a correction (which reads the field) and a password entry
// included: no application sends a single key to the registry, and the password is left alone.
TEST_F(AccessibilityBusCostTest, TypingMakesNoApplicationForwardKeys)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no system Python for the GTK entry";
    BusMonitor monitor("type='method_call',interface='org.a11y.atspi.DeviceEventController'");
    ASSERT_TRUE(monitor.ok()) << "no accessibility bus to watch";
    startKestrelix();

    const TextField field(TextField::Toolkit::gtk, "KxGtkEditor");
    ASSERT_TRUE(field.ok()) << "GTK 3 with Python bindings is not available";
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto app = m_workspace->frontApplication();
            return app && app->pid == field.pid();
        },
        5));
    m_user->typeKeys("hello cceav ");
    EXPECT_TRUE(field.waitForText("hello בבקשה ")) << field.text() << '\n' << log();
    ASSERT_TRUE(rewriteOver());
    m_user->typeKeys("world ");
    EXPECT_TRUE(field.waitForText("hello בבקשה world ")) << field.text() << '\n' << log();

    const test::TempFolder fields{"kx-password"};
    const pid_t password = DesktopSession::shared().start(
        {"/usr/bin/python3", KX_GTK_PROBE, "--password", (fields / "password").string()}, {}, true);
    ASSERT_GT(password, 0);
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto app = m_workspace->frontApplication();
            return app && app->pid == password;
        },
        5));
    m_user->typeKeys("cceav ");
    EXPECT_TRUE(DesktopSession::waitFor([&] { return fileText(fields / "password") == "cceav "; }, 3));
    // The time a rewrite would take.
    DesktopSession::waitFor([] { return false; }, 1.0);
    EXPECT_EQ(fileText(fields / "password"), "cceav ") << "a password was rewritten\n" << log();
    DesktopSession::shared().stop(password);

    EXPECT_EQ(monitor.count(keyCall), 0U) << monitor.text();
}

// The bus watch is of use: a program that listens for focus events, as assistive programs do, has
// the same GTK entry send every key press and release to the registry.
TEST_F(AccessibilityBusCostTest, AFocusListenerMakesApplicationsForwardKeys)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no system Python for the GTK entry";
    BusMonitor monitor("type='method_call',interface='org.a11y.atspi.DeviceEventController'");
    ASSERT_TRUE(monitor.ok()) << "no accessibility bus to watch";
    const pid_t listener = DesktopSession::shared().start({"/usr/bin/python3", "-c",
                                                           "import gi\n"
                                                           "gi.require_version('Atspi', '2.0')\n"
                                                           "from gi.repository import Atspi\n"
                                                           "listener = Atspi.EventListener.new(lambda event: None)\n"
                                                           "listener.register('object:state-changed:focused')\n"
                                                           "print('ready', flush=True)\n"
                                                           "Atspi.event_main()\n"},
                                                          {}, true);
    if (listener <= 0)
        GTEST_SKIP() << "no AT-SPI bindings for Python";
    const TextField field(TextField::Toolkit::gtk, "KxGtkListened");
    ASSERT_TRUE(field.ok()) << "GTK 3 with Python bindings is not available";
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto app = m_workspace->frontApplication();
            return app && app->pid == field.pid();
        },
        5));
    m_user->typeKeys("hello ");
    EXPECT_TRUE(field.waitForText("hello "));
    EXPECT_TRUE(DesktopSession::waitFor([&] { return monitor.count(keyCall) >= 12; }, 3)) << monitor.text();
    DesktopSession::shared().stop(listener);
}

// A GTK text view of a million characters, the caret at its end: the tail reads right, and the
// bus carries only the few characters asked for, not the text before them.
TEST(AccessibilityReadCostTest, TailOfAMillionCharactersMovesOnlyTheTail)
{
    if (!DesktopSession::shared().ready())
        GTEST_SKIP() << DesktopSession::shared().why();
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no system Python for the GTK text view";
    const test::TempFolder folder{"kx-long"};
    {
        std::ofstream out(folder / "text");
        const std::string line = std::string(79, 'w') + "\n";
        for (int i = 0; i < 12'500; ++i)
            out << line;
        out << "the end";
    }
    const pid_t view = DesktopSession::shared().start({"/usr/bin/python3", "-c",
                                                       "import sys, gi\n"
                                                       "gi.require_version('Gtk', '3.0')\n"
                                                       "from gi.repository import Gtk, GLib\n"
                                                       "window = Gtk.Window(title='KxLong')\n"
                                                       "window.set_default_size(400, 200)\n"
                                                       "view = Gtk.TextView()\n"
                                                       "text = view.get_buffer()\n"
                                                       "text.set_text(open(sys.argv[1]).read())\n"
                                                       "text.place_cursor(text.get_end_iter())\n"
                                                       "scroll = Gtk.ScrolledWindow()\n"
                                                       "scroll.add(view)\n"
                                                       "window.add(scroll)\n"
                                                       "window.show_all()\n"
                                                       "view.grab_focus()\n"
                                                       "def ready():\n"
                                                       "    if not (window.is_active() and view.has_focus()):\n"
                                                       "        return True\n"
                                                       "    print('ready', flush=True)\n"
                                                       "    return False\n"
                                                       "GLib.timeout_add(50, ready)\n"
                                                       "Gtk.main()\n",
                                                       (folder / "text").string()},
                                                      {}, true);
    if (view <= 0)
        GTEST_SKIP() << "GTK 3 with Python bindings is not available";
    platform::x11::AtspiSession session;
    ASSERT_TRUE(session.connected(10));
    platform::x11::AtspiAccessibility accessibility(session);
    BusMonitor monitor("type='method_return'");
    ASSERT_TRUE(monitor.ok()) << "no accessibility bus to watch";

    platform::x11::QtMainQueue main;
    const auto queue = SerialQueue::threaded("app.kestrelix.ax");
    AXCaret caret(accessibility, *queue, main);
    const auto readTail = [&] {
        std::optional<std::optional<std::string>> answer;
        caret.readTail(7, 0.25, [&](std::optional<std::string> text) { answer = std::move(text); });
        DesktopSession::waitFor([&] { return answer.has_value(); }, 5);
        return answer.value_or(std::nullopt);
    };
    // The view may answer only a moment after it shows.
    std::optional<std::string> tail;
    ASSERT_TRUE(DesktopSession::waitFor([&] { return (tail = readTail()).has_value(); }, 30));
    EXPECT_EQ(tail, "the end");
    monitor.stop();
    EXPECT_LT(monitor.text().size(), 64'000U) << "the bus carried the text before the caret";
    DesktopSession::shared().stop(view);
}

}  // namespace
}  // namespace kx
