#pragma once
// One connection to the X server, closed when its owner goes, and the extensions the keyboard
// services need. Each service opens its own connection: XRecord blocks the one it records on, and
// Xlib connections are not shared between threads here.

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace kx::platform::x11 {

struct DisplayCloser {
    void operator()(_XDisplay* display) const;
};
using DisplayPtr = std::unique_ptr<_XDisplay, DisplayCloser>;

/// Opens name (null: $DISPLAY), with the process's X error handler in place; null, with one log
/// line, when there is no server to talk to.
DisplayPtr openDisplay(const char* name = nullptr);

/// What the keyboard services need of the server.
struct Extensions {
    int xkbEventBase = 0;  // XKB: layouts, groups and their notices
    int xkbOpcode = 0;     // XKB's requests (our own layout switch, as recorded)
    int xtestOpcode = 0;   // XTEST: posting keys (RECORD, for seeing every key, has nothing to keep)
};

/// XKB's event base; none when the server lacks XKB or has too old a one.
std::optional<int> queryXkb(_XDisplay* display);

/// The extensions, or none (with a log line naming what is missing) when one of XKB, XTEST and
/// RECORD is absent or too old.
std::optional<Extensions> queryExtensions(_XDisplay* display);

/// The names of the extensions the keyboard services need that the server lacks or has too old a
/// version of, in the order XKB, XTEST, RECORD; empty when it has them all. Logs nothing.
std::vector<std::string> missingExtensions(_XDisplay* display);

}  // namespace kx::platform::x11
