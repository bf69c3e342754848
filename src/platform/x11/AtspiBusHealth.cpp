#include "platform/x11/AtspiBusHealth.h"

#include <dbus/dbus.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace kx::platform::x11::atspibus {

namespace {

constexpr const char* registryName = "org.a11y.atspi.Registry";

struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<DBusMessage, MessageUnref>;

// The reply to message, or null on an error or time-out.
MessagePtr call(DBusConnection* bus, DBusMessage* message, int timeoutMs)
{
    if (!message)
        return nullptr;
    const MessagePtr request(message);
    DBusError error;
    dbus_error_init(&error);
    MessagePtr reply(dbus_connection_send_with_reply_and_block(bus, request.get(), timeoutMs, &error));
    dbus_error_free(&error);
    return reply;
}

}  // namespace

void ConnectionClose::operator()(DBusConnection* bus) const
{
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
}

std::string address(int timeoutMs)
{
    if (const char* variable = std::getenv("AT_SPI_BUS_ADDRESS"); variable && *variable)
        return variable;
    DBusError error;
    dbus_error_init(&error);
    // A connection of our own, closed at once: the shared one may belong to someone else.
    const ConnectionPtr session(dbus_bus_get_private(DBUS_BUS_SESSION, &error));
    dbus_error_free(&error);
    if (!session)
        return {};
    dbus_connection_set_exit_on_disconnect(session.get(), FALSE);
    const MessagePtr reply =
        call(session.get(), dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"),
             timeoutMs);
    const char* found = nullptr;
    std::string result;
    if (reply && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &found, DBUS_TYPE_INVALID) && found)
        result = found;
    return result;
}

bool isRegistryName(const char* name)
{
    return name && std::strcmp(name, registryName) == 0;
}

void watchRegistry(DBusConnection* bus)
{
    // Without a reply: the rule is in place before any later message of ours is handled.
    dbus_bus_add_match(bus,
                       "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                       "member='NameOwnerChanged',arg0='org.a11y.atspi.Registry'",
                       nullptr);
}

bool connected(DBusConnection* bus)
{
    return bus && dbus_connection_get_is_connected(bus);
}

bool registryAnswers(DBusConnection* bus, int timeoutMs)
{
    if (!connected(bus))
        return false;
    // Every D-Bus peer answers Ping, and a message to the registry's name starts the registry.
    return call(bus,
                dbus_message_new_method_call(registryName, "/org/a11y/atspi/registry", DBUS_INTERFACE_PEER, "Ping"),
                timeoutMs) != nullptr;
}

}  // namespace kx::platform::x11::atspibus
