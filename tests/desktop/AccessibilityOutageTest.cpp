// The real executable while the accessibility service comes and goes: an accessibility bus of the
// test's own (the address every program of the test is given), killed, restarted and started late,
// and applications that offer no accessibility at all. A password typed on the wrong layout is
// never rewritten where it cannot be recognised, and nothing typed there is written down.

#include "BareBus.h"
#include "KestrelixFixture.h"
#include "platform/x11/AtspiAccessibility.h"
#include "platform/x11/AtspiBusHealth.h"
#include "platform/x11/AtspiSession.h"

#include <dbus/dbus.h>

#include <csignal>
#include <cstdlib>

namespace kx {
namespace {

using test::DesktopSession;
using test::fileText;
using test::TextField;

// An accessibility bus at a fixed address, so that it can go away and come back where every
// program of the test looks for it. Its registry is started by the bus on the first call.
class AccessibilityBus {
public:
    std::string variable() const { return "AT_SPI_BUS_ADDRESS=" + m_address; }

    bool start()
    {
        std::filesystem::remove(m_socket);
        // The registry the bus starts must find this bus, not the session's own.
        m_pid = DesktopSession::shared().start({"dbus-daemon",
                                                "--config-file=/usr/share/defaults/at-spi2/accessibility.conf",
                                                "--address=" + m_address, "--nofork"},
                                               {variable()});
        return m_pid > 0 && DesktopSession::waitFor([&] { return std::filesystem::exists(m_socket); }, 5);
    }
    void stop()
    {
        DesktopSession::shared().stop(m_pid);
        m_pid = -1;
    }
    /// Ends the registry this bus started; false when none runs.
    bool killRegistry() const
    {
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            if (fileText(entry.path() / "comm").starts_with("at-spi2-registr") &&
                environmentHolds(entry.path() / "environ", variable()))
                return ::kill(std::stoi(name), SIGTERM) == 0;
        }
        return false;
    }

private:
    // The variables are separated by NUL characters.
    static bool environmentHolds(const std::filesystem::path& file, const std::string& variable)
    {
        using namespace std::string_literals;
        return ("\0"s + fileText(file)).find("\0"s + variable + "\0"s) != std::string::npos;
    }

    test::TempFolder m_folder{"kx-a11y"};
    std::filesystem::path m_socket = m_folder / "bus";
    std::string m_address = "unix:path=" + m_socket.string();
    pid_t m_pid = -1;
};

// A session bus that cannot start the accessibility bus by itself (it has no services to start), as
// some sessions are at login; the bus's launcher is started on it later by hand.
class BareSessionBus {
public:
    bool start()
    {
        m_address = test::startBareBus(m_folder, "session");
        return !m_address.empty();
    }
    /// Starts the accessibility bus's launcher on this bus; false when it does not come up.
    bool startLauncher()
    {
        return startOnIt({"/usr/libexec/at-spi-bus-launcher"}, {}) > 0 && DesktopSession::waitFor([&] { return !accessibilityAddress().empty(); }, 5);
    }
    /// The accessibility bus's address, as the launcher gives it; empty when none answers.
    std::string accessibilityAddress() const
    {
        DBusError error;
        dbus_error_init(&error);
        const platform::x11::atspibus::ConnectionPtr bus(dbus_connection_open_private(m_address.c_str(), &error));
        std::string address;
        if (bus && dbus_bus_register(bus.get(), &error)) {
            DBusMessage* call = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
            DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus.get(), call, 1000, nullptr);
            const char* found = nullptr;
            if (reply && dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &found, DBUS_TYPE_INVALID) && found)
                address = found;
            if (reply)
                dbus_message_unref(reply);
            dbus_message_unref(call);
        }
        dbus_error_free(&error);
        return address;
    }
    /// Starts a program whose session bus is this one. A variable given twice counts where it
    /// comes first, so the test's own is set around the start.
    pid_t startOnIt(const std::vector<std::string>& argv, const std::vector<std::string>& variables,
                    bool waitForReady = false) const
    {
        const std::string own = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
        const pid_t pid = DesktopSession::shared().start(argv, variables, waitForReady);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", own.c_str(), 1);
        return pid;
    }

private:
    test::TempFolder m_folder{"kx-session"};
    std::string m_address;
};

class AccessibilityOutageTest : public test::KestrelixFixture {
protected:
    void SetUp() override
    {
        KestrelixFixture::SetUp();
        // Troubleshooting mode keeps the history on disk and verbose logging writes every word: the
        // test looks there for the password.
        std::ofstream(m_home / "config/kestrelix/defaults.json") << R"({"kestrelix.seenWalkthrough": true, )"
                                                                    R"("kestrelix.troubleshooting": true, )"
                                                                    R"("kestrelix.debugLogging": true})";
    }

    // Starts the application on the test's accessibility bus and waits for its permissions line.
    void startOnBus()
    {
        auto variables = test::homeVariables(m_home.path());
        variables.push_back(m_bus.variable());
        m_app = DesktopSession::shared().start({KX_EXECUTABLE}, variables);
        ASSERT_GT(m_app, 0);
        ASSERT_TRUE(waitForLog("permissions ax=", 8)) << log();
    }
    bool waitForLog(const std::string& text, double seconds)
    {
        return DesktopSession::waitFor([&] { return log().find(text) != std::string::npos; }, seconds);
    }
    // A GTK 3 password entry in front, on the test's bus; null when it never got there.
    std::unique_ptr<pid_t, void (*)(pid_t*)> gtkPasswordEntry(const std::filesystem::path& file)
    {
        return frontOnce(DesktopSession::shared().start({"/usr/bin/python3", KX_GTK_PROBE, "--password", file.string()},
                                                        {m_bus.variable()}, true));
    }
    // Owns the program pid and waits until it is in front; null when it never got there.
    std::unique_ptr<pid_t, void (*)(pid_t*)> frontOnce(pid_t pid)
    {
        static const auto stop = [](pid_t* pid) {
            DesktopSession::shared().stop(*pid);
            delete pid;
        };
        if (pid <= 0)
            return {nullptr, stop};
        const bool front = DesktopSession::waitFor(
            [&] {
                const auto app = m_workspace->frontApplication();
                return app && app->pid == pid;
            },
            5);
        return {front ? new pid_t(pid) : nullptr, stop};
    }
    // The field comes to the front, and the corrector has looked its focus up: until then what is
    // typed there is not watched.
    std::unique_ptr<TextField> qtFieldOnBus(const std::string& wmClass, const std::string& busVariable = {})
    {
        auto field = std::make_unique<TextField>(
            wmClass, std::vector<std::string>{},
            std::vector<std::string>{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1",
                                     busVariable.empty() ? m_bus.variable() : busVariable});
        const bool front = field->ok() && DesktopSession::waitFor(
                                              [&] {
                                                  const auto app = m_workspace->frontApplication();
                                                  return app && app->pid == field->pid();
                                              },
                                              5);
        if (front && !DesktopSession::waitFor([&] { return focusSettledOn(field->pid()); }, 3))
            ADD_FAILURE() << "the corrector never looked the field's focus up\n" << log();
        return front ? std::move(field) : nullptr;
    }
    std::string history() const { return fileText(m_home / "data/kestrelix/history.json"); }
    // Types a wrong-layout word into the GTK password entry, which must keep it as typed.
    void typePasswordInto(const std::filesystem::path& file, const std::string& keys)
    {
        const std::string before = fileText(file);
        m_user->typeKeys(keys);
        EXPECT_TRUE(DesktopSession::waitFor([&] { return fileText(file) == before + keys; }, 3));
        // The time a rewrite would take.
        DesktopSession::waitFor([] { return false; }, 1.0);
        EXPECT_EQ(fileText(file), before + keys) << "a password was rewritten\n" << log();
    }
    // Neither the typed nor the rewritten text is in the log or the history.
    void expectNothingWrittenDown(const std::string& typed, const std::string& rewritten)
    {
        for (const auto& text : {typed, rewritten}) {
            EXPECT_EQ(log().find(text), std::string::npos) << text << " in the log:\n" << log();
            EXPECT_EQ(history().find(text), std::string::npos) << text << " in the history:\n" << history();
        }
    }

    AccessibilityBus m_bus;
    test::TempFolder m_fields{"kx-fields"};
};

// The bus dies with the corrector running: it goes off at once (a GTK password entry opened
// meanwhile is not rewritten, nothing of it is written down), and on again when the bus is back.
TEST_F(AccessibilityOutageTest, BusKilledAndRestarted)
{
    ASSERT_TRUE(m_bus.start());
    startOnBus();
    ASSERT_TRUE(waitForLog("ready — correction mode", 5)) << log();
    ASSERT_TRUE(waitForLog("enabled layouts = ", 30)) << log();

    m_bus.stop();
    EXPECT_TRUE(waitForLog("accessibility lost", 3)) << log();
    const auto entry = gtkPasswordEntry(m_fields / "password");
    ASSERT_TRUE(entry) << "no GTK password entry in front";
    typePasswordInto(m_fields / "password", "cceav ");
    expectNothingWrittenDown("cceav", "בבקשה");

    ASSERT_TRUE(m_bus.start());
    EXPECT_TRUE(waitForLog("accessibility is back", 5)) << log();
    // The entry still in front is on the bus that died: it can no longer be read.
    const auto front = m_workspace->frontApplication();
    ASSERT_TRUE(front && front->pid == *entry) << "the entry is no longer in front";
    m_user->typeKeys("dhfh ");
    DesktopSession::waitFor([] { return false; }, 1.0);
    expectNothingWrittenDown("dhfh", "גיכג");

    const auto field = qtFieldOnBus("KxEditor");
    ASSERT_TRUE(field);
    m_user->typeKeys("cceav ");
    EXPECT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
}

// The bus dies while a GTK password entry has the focus and comes back; the entry stays on the bus
// that died. It cannot be read any more, so it is not taken for an application without
// accessibility: its password is left alone and nothing of it written down, while an application
// on the new bus is corrected.
TEST_F(AccessibilityOutageTest, BusRestartedUnderAFocusedPasswordEntry)
{
    ASSERT_TRUE(m_bus.start());
    startOnBus();
    ASSERT_TRUE(waitForLog("ready — correction mode", 5)) << log();
    ASSERT_TRUE(waitForLog("enabled layouts = ", 30)) << log();
    const auto entry = gtkPasswordEntry(m_fields / "password");
    ASSERT_TRUE(entry) << "no GTK password entry in front";
    typePasswordInto(m_fields / "password", "cceav ");
    ASSERT_TRUE(waitForLog("secure input ON", 3)) << log();

    m_bus.stop();
    ASSERT_TRUE(waitForLog("accessibility lost", 3)) << log();
    ASSERT_TRUE(m_bus.start());
    ASSERT_TRUE(waitForLog("the AT-SPI bus answers again", 5)) << log();
    const auto front = m_workspace->frontApplication();
    ASSERT_TRUE(front && front->pid == *entry) << "the entry is no longer in front";
    typePasswordInto(m_fields / "password", "cceav ");
    expectNothingWrittenDown("cceav", "בבקשה");

    // Another application in front, on the new bus: the corrector is on again.
    const auto field = qtFieldOnBus("KxEditor");
    ASSERT_TRUE(field);
    ASSERT_TRUE(waitForLog("accessibility is back", 5)) << log();
    m_user->typeKeys("cceav ");
    EXPECT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
}

// The session bus cannot start the accessibility bus at login; its launcher comes later. The
// corrector turns accessibility on then, as at launch, and starts: a GTK password entry on the new
// bus is recognised and a Qt field corrected.
TEST_F(AccessibilityOutageTest, AccessibilityBusLauncherStartedLate)
{
    BareSessionBus session;
    ASSERT_TRUE(session.start());
    m_app = session.startOnIt({KX_EXECUTABLE}, test::homeVariables(m_home.path()));
    ASSERT_GT(m_app, 0);
    ASSERT_TRUE(waitForLog("permissions ax=false", 8)) << log();
    ASSERT_TRUE(waitForLog("accessibility: cannot enable it", 3)) << log();

    ASSERT_TRUE(session.startLauncher());
    ASSERT_TRUE(waitForLog("ready — correction mode", 10)) << log();
    ASSERT_TRUE(waitForLog("enabled layouts = ", 30)) << log();
    const std::string bus = "AT_SPI_BUS_ADDRESS=" + session.accessibilityAddress();
    const auto entry = frontOnce(
        session.startOnIt({"/usr/bin/python3", KX_GTK_PROBE, "--password", (m_fields / "late").string()}, {bus}, true));
    ASSERT_TRUE(entry) << "no GTK password entry in front";
    typePasswordInto(m_fields / "late", "cceav ");
    const auto field = qtFieldOnBus("KxEditor", bus);
    ASSERT_TRUE(field);
    m_user->typeKeys("cceav ");
    EXPECT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
}

// The registry restarts: a password entry whose window opens before the registry knows the
// corrector again is still recognised, so its password is left alone.
TEST_F(AccessibilityOutageTest, RegistryRestartedWhileAWindowOpens)
{
    ASSERT_TRUE(m_bus.start());
    startOnBus();
    ASSERT_TRUE(waitForLog("ready — correction mode", 5)) << log();
    ASSERT_TRUE(waitForLog("enabled layouts = ", 30)) << log();

    ASSERT_TRUE(m_bus.killRegistry());
    const auto entry = gtkPasswordEntry(m_fields / "password");
    ASSERT_TRUE(entry) << "no GTK password entry in front";
    typePasswordInto(m_fields / "password", "cceav ");
    expectNothingWrittenDown("cceav", "בבקשה");
}

// Accessibility that starts after the corrector (as at login) is noticed: the corrector waits
// for it, then recognises password fields on it and corrects elsewhere.
TEST_F(AccessibilityOutageTest, AccessibilityStartedLate)
{
    startOnBus();
    EXPECT_NE(log().find("permissions ax=false"), std::string::npos) << log();
    ASSERT_TRUE(m_bus.start());
    ASSERT_TRUE(waitForLog("ready — correction mode", 6)) << log();
    ASSERT_TRUE(waitForLog("enabled layouts = ", 30)) << log();
    EXPECT_TRUE(waitForLog("accessibility: the AT-SPI bus answers again", 3)) << log();

    const auto entry = gtkPasswordEntry(m_fields / "password");
    ASSERT_TRUE(entry) << "no GTK password entry in front";
    typePasswordInto(m_fields / "password", "cceav ");
    const auto field = qtFieldOnBus("KxEditor");
    ASSERT_TRUE(field);
    m_user->typeKeys("cceav ");
    EXPECT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
}

// A Qt program that offers no accessibility (here its accessibility bus is out of reach, as a
// sandboxed program's may be): it may be corrected, but nothing typed there is written down, and
// the bus says it is not among its applications, while a program that offers it is.
TEST_F(AccessibilityOutageTest, QtFieldWithoutAccessibilityIsNotWrittenDown)
{
    const TextField field("KxOldQt", {}, {"AT_SPI_BUS_ADDRESS=unix:path=" + (m_fields / "nowhere").string()});
    ASSERT_TRUE(field.ok());
    startKestrelix();
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto app = m_workspace->frontApplication();
            return app && app->pid == field.pid();
        },
        5));

    platform::x11::AtspiSession session;
    ASSERT_TRUE(session.connected(10));
    platform::x11::AtspiAccessibility accessibility(session);
    EXPECT_FALSE(accessibility.offersAccessibility(field.pid()));

    m_user->typeKeys("cceav ");
    EXPECT_TRUE(field.waitForText("בבקשה ")) << field.text() << '\n' << log();
    DesktopSession::waitFor([] { return false; }, 0.5);
    expectNothingWrittenDown("cceav", "בבקשה");

    const auto readable = frontField("KxEditor");
    ASSERT_TRUE(readable);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return accessibility.offersAccessibility(readable->pid()); }, 3));
}

}  // namespace
}  // namespace kx
