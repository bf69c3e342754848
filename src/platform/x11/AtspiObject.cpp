#include "platform/x11/AtspiObject.h"

#include <atspi/atspi-constants.h>
#include <dbus/dbus.h>

#include <memory>
#include <string_view>

namespace kx::platform::x11 {

namespace {

constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";
constexpr const char* textInterface = "org.a11y.atspi.Text";

struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<DBusMessage, MessageUnref>;

MessagePtr newCall(const std::string& name, const std::string& path, const char* interface, const char* method)
{
    return MessagePtr(dbus_message_new_method_call(name.c_str(), path.c_str(), interface, method));
}

// The reply to request when it is of signature; null on an error, a time-out or another reply.
MessagePtr call(DBusConnection* bus, const MessagePtr& request, const char* signature, int timeoutMs)
{
    if (!bus || !request)
        return nullptr;
    // Never start a program for an application that is gone.
    dbus_message_set_auto_start(request.get(), FALSE);
    DBusError error;
    dbus_error_init(&error);
    MessagePtr reply(dbus_connection_send_with_reply_and_block(bus, request.get(), timeoutMs, &error));
    dbus_error_free(&error);
    if (!reply || !dbus_message_has_signature(reply.get(), signature))
        return nullptr;
    return reply;
}

// One int32 property of the text interface.
std::optional<int> textProperty(DBusConnection* bus, const std::string& name, const std::string& path,
                                const char* property, int timeoutMs)
{
    auto request = newCall(name, path, DBUS_INTERFACE_PROPERTIES, "Get");
    if (!request)
        return std::nullopt;
    const char* interface = textInterface;
    dbus_message_append_args(request.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                             DBUS_TYPE_INVALID);
    const MessagePtr reply = call(bus, request, "v", timeoutMs);
    if (!reply)
        return std::nullopt;
    DBusMessageIter top;
    DBusMessageIter variant;
    dbus_message_iter_init(reply.get(), &top);
    dbus_message_iter_recurse(&top, &variant);
    if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_INT32)
        return std::nullopt;
    dbus_int32_t value = 0;
    dbus_message_iter_get_basic(&variant, &value);
    return value;
}

// The elements of an a(so) array at iter.
std::vector<AtspiObject> references(DBusMessageIter* iter)
{
    std::vector<AtspiObject> found;
    DBusMessageIter array;
    dbus_message_iter_recurse(iter, &array);
    for (; dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_STRUCT; dbus_message_iter_next(&array)) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&array, &entry);
        const char* name = nullptr;
        const char* path = nullptr;
        dbus_message_iter_get_basic(&entry, &name);
        dbus_message_iter_next(&entry);
        dbus_message_iter_get_basic(&entry, &path);
        // A null reference stands for no element.
        if (name && path && *name && std::string_view(path) != "/org/a11y/atspi/null")
            found.emplace_back(name, path);
    }
    return found;
}

}  // namespace

AtspiObject AtspiObject::desktop()
{
    return {"org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"};
}

std::vector<AtspiObject> AtspiObject::children(DBusConnection* bus, int timeoutMs) const
{
    const MessagePtr reply = call(bus, newCall(m_name, m_path, accessibleInterface, "GetChildren"), "a(so)", timeoutMs);
    if (!reply)
        return {};
    DBusMessageIter top;
    dbus_message_iter_init(reply.get(), &top);
    return references(&top);
}

std::optional<std::uint64_t> AtspiObject::states(DBusConnection* bus, int timeoutMs) const
{
    const MessagePtr reply = call(bus, newCall(m_name, m_path, accessibleInterface, "GetState"), "au", timeoutMs);
    if (!reply)
        return std::nullopt;
    DBusMessageIter top;
    DBusMessageIter array;
    dbus_message_iter_init(reply.get(), &top);
    dbus_message_iter_recurse(&top, &array);
    std::uint64_t bits = 0;
    for (int word = 0; word < 2 && dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_UINT32; ++word) {
        dbus_uint32_t value = 0;
        dbus_message_iter_get_basic(&array, &value);
        bits |= static_cast<std::uint64_t>(value) << (32 * word);
        dbus_message_iter_next(&array);
    }
    return bits;
}

bool AtspiObject::has(DBusConnection* bus, int state, int timeoutMs) const
{
    const auto bits = states(bus, timeoutMs);
    return bits && (*bits >> state & 1U) != 0;
}

std::optional<std::uint32_t> AtspiObject::role(DBusConnection* bus, int timeoutMs) const
{
    const MessagePtr reply = call(bus, newCall(m_name, m_path, accessibleInterface, "GetRole"), "u", timeoutMs);
    dbus_uint32_t value = 0;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &value, DBUS_TYPE_INVALID))
        return std::nullopt;
    return value;
}

int AtspiObject::pid(DBusConnection* bus, int timeoutMs) const
{
    // The bus answers for the application, which is not asked at all.
    auto request = newCall(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "GetConnectionUnixProcessID");
    if (!request)
        return 0;
    const char* name = m_name.c_str();
    dbus_message_append_args(request.get(), DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
    const MessagePtr reply = call(bus, request, "u", timeoutMs);
    dbus_uint32_t value = 0;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &value, DBUS_TYPE_INVALID))
        return 0;
    return static_cast<int>(value);
}

std::optional<AtspiObject> AtspiObject::focusedBelow(DBusConnection* bus, int timeoutMs, bool& answered) const
{
    answered = false;
    auto request = newCall(m_name, m_path, "org.a11y.atspi.Collection", "GetMatches");
    if (!request)
        return std::nullopt;
    // The match rule (aiia{ss}iaiiasib): the focused state among all states, nothing asked of
    // attributes, roles or interfaces, not inverted; then the order, one match, and the whole tree.
    DBusMessageIter top;
    DBusMessageIter rule;
    DBusMessageIter array;
    dbus_message_iter_init_append(request.get(), &top);
    dbus_message_iter_open_container(&top, DBUS_TYPE_STRUCT, nullptr, &rule);
    const dbus_int32_t focusedBits[2] = {1 << ATSPI_STATE_FOCUSED, 0};
    dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "i", &array);
    for (const dbus_int32_t bits : focusedBits)
        dbus_message_iter_append_basic(&array, DBUS_TYPE_INT32, &bits);
    dbus_message_iter_close_container(&rule, &array);
    const dbus_int32_t all = ATSPI_Collection_MATCH_ALL;
    const dbus_int32_t none = ATSPI_Collection_MATCH_NONE;
    dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &all);
    dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "{ss}", &array);
    dbus_message_iter_close_container(&rule, &array);
    dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &none);
    dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "i", &array);
    const dbus_int32_t noRoles = 0;
    for (int i = 0; i < 4; ++i)
        dbus_message_iter_append_basic(&array, DBUS_TYPE_INT32, &noRoles);
    dbus_message_iter_close_container(&rule, &array);
    dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &none);
    dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "s", &array);
    dbus_message_iter_close_container(&rule, &array);
    dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &none);
    const dbus_bool_t invert = FALSE;
    dbus_message_iter_append_basic(&rule, DBUS_TYPE_BOOLEAN, &invert);
    dbus_message_iter_close_container(&top, &rule);
    const dbus_uint32_t order = ATSPI_Collection_SORT_ORDER_CANONICAL;
    const dbus_int32_t count = 1;
    const dbus_bool_t traverse = TRUE;
    dbus_message_iter_append_basic(&top, DBUS_TYPE_UINT32, &order);
    dbus_message_iter_append_basic(&top, DBUS_TYPE_INT32, &count);
    dbus_message_iter_append_basic(&top, DBUS_TYPE_BOOLEAN, &traverse);

    const MessagePtr reply = call(bus, request, "a(so)", timeoutMs);
    if (!reply)
        return std::nullopt;
    answered = true;
    DBusMessageIter result;
    dbus_message_iter_init(reply.get(), &result);
    auto found = references(&result);
    if (found.empty())
        return std::nullopt;
    return std::move(found.front());
}

std::optional<int> AtspiObject::caretOffset(DBusConnection* bus, int timeoutMs) const
{
    return textProperty(bus, m_name, m_path, "CaretOffset", timeoutMs);
}

std::optional<int> AtspiObject::characterCount(DBusConnection* bus, int timeoutMs) const
{
    return textProperty(bus, m_name, m_path, "CharacterCount", timeoutMs);
}

std::optional<std::pair<int, int>> AtspiObject::firstSelection(DBusConnection* bus, int timeoutMs) const
{
    const MessagePtr count = call(bus, newCall(m_name, m_path, textInterface, "GetNSelections"), "i", timeoutMs);
    dbus_int32_t selections = 0;
    if (!count || !dbus_message_get_args(count.get(), nullptr, DBUS_TYPE_INT32, &selections, DBUS_TYPE_INVALID) ||
        selections <= 0)
        return std::nullopt;
    auto request = newCall(m_name, m_path, textInterface, "GetSelection");
    if (!request)
        return std::nullopt;
    const dbus_int32_t first = 0;
    dbus_message_append_args(request.get(), DBUS_TYPE_INT32, &first, DBUS_TYPE_INVALID);
    const MessagePtr reply = call(bus, request, "ii", timeoutMs);
    dbus_int32_t start = 0;
    dbus_int32_t end = 0;
    if (!reply ||
        !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_INT32, &start, DBUS_TYPE_INT32, &end, DBUS_TYPE_INVALID))
        return std::nullopt;
    return std::pair<int, int>(start, end);
}

std::optional<std::string> AtspiObject::text(DBusConnection* bus, int start, int end, int timeoutMs) const
{
    auto request = newCall(m_name, m_path, textInterface, "GetText");
    if (!request)
        return std::nullopt;
    const dbus_int32_t from = start;
    const dbus_int32_t to = end;
    dbus_message_append_args(request.get(), DBUS_TYPE_INT32, &from, DBUS_TYPE_INT32, &to, DBUS_TYPE_INVALID);
    const MessagePtr reply = call(bus, request, "s", timeoutMs);
    const char* value = nullptr;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &value, DBUS_TYPE_INVALID))
        return std::nullopt;
    return std::string(value ? value : "");
}

}  // namespace kx::platform::x11
