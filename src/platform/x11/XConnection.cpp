#include "platform/x11/XConnection.h"

#include "platform/Log.h"
#include "platform/x11/XErrors.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>

#include <cstdlib>
#include <string>
#include <vector>

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

namespace {

// The extensions found, and the names of those missing or too old, in the order XKB, XTEST, RECORD.
Extensions probe(_XDisplay* display, std::vector<std::string>& missing)
{
    Extensions found;
    int event = 0;
    int error = 0;
    const auto xkbEventBase = queryXkb(display);
    if (xkbEventBase && XQueryExtension(display, "XKEYBOARD", &found.xkbOpcode, &event, &error))
        found.xkbEventBase = *xkbEventBase;
    else
        missing.push_back("XKB");
    int xtestMajor = 0;
    int xtestMinor = 0;
    if (!XQueryExtension(display, "XTEST", &found.xtestOpcode, &event, &error) ||
        !XTestQueryExtension(display, &event, &error, &xtestMajor, &xtestMinor))
        missing.push_back("XTEST");
    int recordOpcode = 0;
    int recordMajor = 0;
    int recordMinor = 0;
    // Asked of the server first: libXtst's RECORD calls print a line of their own when it is absent.
    if (!XQueryExtension(display, "RECORD", &recordOpcode, &event, &error) ||
        !XRecordQueryVersion(display, &recordMajor, &recordMinor))
        missing.push_back("RECORD");
    return found;
}

}  // namespace

std::optional<Extensions> queryExtensions(_XDisplay* display)
{
    std::vector<std::string> missing;
    const Extensions found = probe(display, missing);
    if (missing.empty())
        return found;
    std::string names;
    for (const auto& name : missing)
        names += " " + name;
    Log::line("x11: the server lacks" + names);
    return std::nullopt;
}

std::vector<std::string> missingExtensions(_XDisplay* display)
{
    std::vector<std::string> missing;
    probe(display, missing);
    return missing;
}

}  // namespace kx::platform::x11
