#pragma once
// An accessible element of another application, asked over the accessibility bus with plain D-Bus
// calls on a connection of our own. libatspi's objects are not used for this: the first time
// libatspi meets an application it asks for the application's private bus address, and an
// application asked that counts the asker as an assistive client, which turns on its forwarding
// of every key press and release to the registry as a blocking call, until the asker leaves the
// bus. The calls here (state, role, children, text, a search of its own tree) leave it as it is.
//
// Each call blocks for at most timeoutMs and gives none (or an empty list) when the element does
// not answer, is gone, or has no such interface. Call them on the thread that owns the connection.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

typedef struct DBusConnection DBusConnection;

namespace kx::platform::x11 {

class AtspiObject {
public:
    /// The element at path of the application whose bus name is name.
    AtspiObject(std::string name, std::string path) : m_name(std::move(name)), m_path(std::move(path)) {}
    /// The registry's root element, whose children are the registered applications.
    static AtspiObject desktop();

    const std::string& name() const { return m_name; }
    bool operator==(const AtspiObject&) const = default;

    std::vector<AtspiObject> children(DBusConnection* bus, int timeoutMs) const;
    /// The AT-SPI state bits (AtspiStateType numbers them).
    std::optional<std::uint64_t> states(DBusConnection* bus, int timeoutMs) const;
    /// Whether the element has state; false when it does not answer.
    bool has(DBusConnection* bus, int state, int timeoutMs) const;
    /// The AT-SPI role (AtspiRole).
    std::optional<std::uint32_t> role(DBusConnection* bus, int timeoutMs) const;
    /// The process of the application, as the bus knows it; 0 when unknown.
    int pid(DBusConnection* bus, int timeoutMs) const;
    /// The first focused element below this one, found by the application in one call;
    /// answered is false when the application cannot search its tree that way.
    std::optional<AtspiObject> focusedBelow(DBusConnection* bus, int timeoutMs, bool& answered) const;

    /// The text interface; offsets count characters (Unicode scalars).
    std::optional<int> caretOffset(DBusConnection* bus, int timeoutMs) const;
    std::optional<int> characterCount(DBusConnection* bus, int timeoutMs) const;
    /// The first selection, start and end, when there is one.
    std::optional<std::pair<int, int>> firstSelection(DBusConnection* bus, int timeoutMs) const;
    /// The characters from start up to, not including, end, in UTF-8.
    std::optional<std::string> text(DBusConnection* bus, int start, int end, int timeoutMs) const;

private:
    std::string m_name;
    std::string m_path;
};

}  // namespace kx::platform::x11
