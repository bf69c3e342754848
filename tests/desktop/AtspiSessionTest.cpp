// The session's trust in the accessibility bus, against a registry played by the test: once the
// registry has gone and answers again, the session waits for a second answer before it uses the
// bus, since applications register with a new registry only as they notice it.

#include "platform/x11/AtspiSession.h"

#include "BareBus.h"
#include "DesktopSession.h"
#include "platform/x11/AtspiBusHealth.h"

#include <gtest/gtest.h>

#include <dbus/dbus.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace kx::platform::x11 {
namespace {

using test::DesktopSession;

constexpr const char* registryName = "org.a11y.atspi.Registry";

// A registry that answers only when the test serves it, and counts the Pings it was sent.
class PlayedRegistry {
public:
    explicit PlayedRegistry(const std::string& address)
    {
        DBusError error;
        dbus_error_init(&error);
        m_bus.reset(dbus_connection_open_private(address.c_str(), &error));
        if (m_bus && !dbus_bus_register(m_bus.get(), &error))
            m_bus.reset();
        dbus_error_free(&error);
        if (m_bus)
            dbus_connection_set_exit_on_disconnect(m_bus.get(), FALSE);
    }
    bool ok() const { return m_bus != nullptr; }

    bool own() { return dbus_bus_request_name(m_bus.get(), registryName, 0, nullptr) == 1; }
    bool leave() { return dbus_bus_release_name(m_bus.get(), registryName, nullptr) == 1; }

    /// Answers what was sent until done() holds, at most seconds; whether it held. A Ping is
    /// answered only while answerPings is set, else it waits in the queue.
    template <typename Done>
    bool serveUntil(Done done, double seconds)
    {
        return DesktopSession::waitFor(
            [&] {
                dbus_connection_read_write(m_bus.get(), 20);
                // Read without dispatching: the library would answer a Ping by itself.
                while (DBusMessage* message = dbus_connection_pop_message(m_bus.get())) {
                    handle(message);
                    dbus_message_unref(message);
                }
                flushPings();
                return done();
            },
            seconds);
    }

    int pings = 0;  // Pings received, answered or not
    bool answerPings = true;

private:
    void handle(DBusMessage* message)
    {
        if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL)
            return;
        if (dbus_message_is_method_call(message, DBUS_INTERFACE_PEER, "Ping")) {
            ++pings;
            m_waiting.push_back(dbus_message_ref(message));
            return;
        }
        // An empty desktop: no application is asked for its focus.
        DBusMessage* reply = dbus_message_new_error(message, DBUS_ERROR_UNKNOWN_METHOD, "played registry");
        dbus_connection_send(m_bus.get(), reply, nullptr);
        dbus_message_unref(reply);
    }
    void flushPings()
    {
        if (!answerPings)
            return;
        for (DBusMessage* ping : m_waiting) {
            DBusMessage* reply = dbus_message_new_method_return(ping);
            dbus_connection_send(m_bus.get(), reply, nullptr);
            dbus_message_unref(reply);
            dbus_message_unref(ping);
        }
        m_waiting.clear();
        dbus_connection_flush(m_bus.get());
    }

    atspibus::ConnectionPtr m_bus;
    std::vector<DBusMessage*> m_waiting;
};

class AtspiSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        // A bus that starts nothing: the registry is the test's.
        m_address = test::startBareBus(m_folder, "accessibility");
        ASSERT_FALSE(m_address.empty());
        ::setenv("AT_SPI_BUS_ADDRESS", m_address.c_str(), 1);
    }
    void TearDown() override { ::unsetenv("AT_SPI_BUS_ADDRESS"); }

    test::TempFolder m_folder{"kx-registry"};
    std::string m_address;
};

// After the registry went and came back, its first answer is not trusted; the second is.
TEST_F(AtspiSessionTest, RegistryThatComesBackIsTrustedAtItsSecondAnswer)
{
    PlayedRegistry registry(m_address);
    ASSERT_TRUE(registry.ok());
    ASSERT_TRUE(registry.own());
    AtspiSession session;
    ASSERT_TRUE(registry.serveUntil([&] { return session.connected(0); }, 5)) << "never trusted at start";

    ASSERT_TRUE(registry.leave());
    ASSERT_TRUE(registry.serveUntil([&] { return !session.connected(0); }, 3)) << "a registry gone is still trusted";
    ASSERT_TRUE(registry.own());
    registry.pings = 0;
    ASSERT_TRUE(registry.serveUntil([&] { return registry.pings == 1; }, 3)) << "the registry is not asked again";

    // The first answer has gone out; the session waits until it asks again.
    registry.answerPings = false;
    const bool askedAgain =
        registry.serveUntil([&] { return registry.pings == 2 || session.connected(0); }, 3) && registry.pings == 2;
    EXPECT_TRUE(askedAgain) << "trusted at the first answer after the registry came back";
    EXPECT_FALSE(session.connected(0));
    registry.answerPings = true;
    EXPECT_TRUE(registry.serveUntil([&] { return session.connected(0); }, 3)) << "not trusted at the second answer";
}

}  // namespace
}  // namespace kx::platform::x11
