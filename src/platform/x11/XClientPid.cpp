#include "platform/x11/XClientPid.h"

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <algorithm>

namespace kx::platform::x11 {

int clientPid(Display* display, unsigned long window)
{
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XResQueryExtension(display, &eventBase, &errorBase) || !XResQueryVersion(display, &major, &minor) ||
        (major == 1 && minor < 2) || major < 1)
        return 0;
    XResClientIdSpec query{window, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* values = nullptr;
    if (XResQueryClientIds(display, 1, &query, &count, &values) != Success)
        return 0;
    int pid = 0;
    for (long i = 0; i < count && pid <= 0; ++i)
        pid = XResGetClientPid(&values[i]);
    XResClientIdsDestroy(count, values);
    return std::max(pid, 0);
}

}  // namespace kx::platform::x11
