#include "platform/x11/AtspiBusHealth.h"

#include <dbus/dbus.h>

#include <cstring>
#include <memory>

namespace kx::platform::x11::atspibus {

namespace {

constexpr const char* registryName = "org.a11y.atspi.Registry";

struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<DBusMessage, MessageUnref>;

// The reply to message, or null on an error or time-out; unknownMethod, when given, tells whether
// the receiver has no such method.
MessagePtr call(DBusConnection* bus, DBusMessage* message, int timeoutMs, bool* unknownMethod = nullptr)
{
    if (!message)
        return nullptr;
    const MessagePtr request(message);
    DBusError error;
    dbus_error_init(&error);
    MessagePtr reply(dbus_connection_send_with_reply_and_block(bus, request.get(), timeoutMs, &error));
    if (unknownMethod)
        *unknownMethod = dbus_error_has_name(&error, DBUS_ERROR_UNKNOWN_METHOD);
    dbus_error_free(&error);
    return reply;
}

}  // namespace

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

std::string registryOwner(DBusConnection* bus, int timeoutMs)
{
    if (!connected(bus))
        return {};
    DBusMessage* message =
        dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "GetNameOwner");
    if (!message)
        return {};
    const char* name = registryName;
    dbus_message_append_args(message, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
    const MessagePtr reply = call(bus, message, timeoutMs);
    const char* owner = nullptr;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &owner, DBUS_TYPE_INVALID))
        return {};
    return owner ? owner : "";
}

bool registryListsUs(DBusConnection* bus, int timeoutMs)
{
    if (!connected(bus))
        return false;
    const char* ourName = dbus_bus_get_unique_name(bus);
    if (!ourName)
        return false;
    bool unknownMethod = false;
    const MessagePtr reply = call(
        bus,
        dbus_message_new_method_call(registryName, "/org/a11y/atspi/registry", registryName, "GetRegisteredEvents"),
        timeoutMs, &unknownMethod);
    // A registry that cannot list its listeners answered all the same: it runs, and libatspi
    // registered us when it came.
    if (!reply)
        return unknownMethod;
    // a(ss): the listener's bus name and the event it listens for.
    DBusMessageIter top;
    DBusMessageIter array;
    if (!dbus_message_iter_init(reply.get(), &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
        return false;
    dbus_message_iter_recurse(&top, &array);
    for (; dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_STRUCT; dbus_message_iter_next(&array)) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&array, &entry);
        if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING)
            continue;
        const char* listener = nullptr;
        dbus_message_iter_get_basic(&entry, &listener);
        if (listener && std::strcmp(listener, ourName) == 0)
            return true;
    }
    return false;
}

}  // namespace kx::platform::x11::atspibus
