#include "platform/x11/XConnection.h"

#include "platform/Log.h"
#include "platform/x11/XErrors.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>

#include <cstdlib>
#include <string>

namespace kx::platform::x11 {

void DisplayCloser::operator()(_XDisplay* display) const
{
    XCloseDisplay(display);
}

DisplayPtr openDisplay(const char* name)
{
    installXErrorHandler();
    // Xkb's own open: it also negotiates the XKB version Xlib was built for.
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int reason = 0;
    DisplayPtr display(XkbOpenDisplay(name, nullptr, nullptr, &major, &minor, &reason));
    if (!display) {
        if (!name)
            name = std::getenv("DISPLAY");
        Log::line(std::string("x11: cannot open display ") + (name ? name : "(unset)") + " (reason " +
                  std::to_string(reason) + ")");
    }
    return display;
}

std::optional<int> queryXkb(_XDisplay* display)
{
    int opcode = 0;
    int eventBase = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &error, &major, &minor))
        return std::nullopt;
    return eventBase;
}

std::optional<Extensions> queryExtensions(_XDisplay* display)
{
    Extensions found;
    std::string missing;
    int event = 0;
    int error = 0;
    if (const auto xkbEventBase = queryXkb(display))
        found.xkbEventBase = *xkbEventBase;
    else
        missing += " XKB";
    if (missing.empty() && !XQueryExtension(display, "XKEYBOARD", &found.xkbOpcode, &event, &error))
        missing += " XKB";
    if (!XQueryExtension(display, "XTEST", &found.xtestOpcode, &event, &error))
        missing += " XTEST";
    int xtestMajor = 0;
    int xtestMinor = 0;
    if (missing.find("XTEST") == std::string::npos &&
        !XTestQueryExtension(display, &event, &error, &xtestMajor, &xtestMinor))
        missing += " XTEST";
    int recordMajor = 0;
    int recordMinor = 0;
    if (!XRecordQueryVersion(display, &recordMajor, &recordMinor))
        missing += " RECORD";
    if (!missing.empty()) {
        Log::line("x11: the server lacks" + missing);
        return std::nullopt;
    }
    return found;
}

}  // namespace kx::platform::x11
