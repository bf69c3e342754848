#include "KeymapWatch.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace kx::test {

KeymapWatch::KeymapWatch() : m_display(XOpenDisplay(nullptr))
{
    int opcode = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!m_display)
        return;
    if (XkbQueryExtension(m_display, &opcode, &m_xkbEventBase, &error, &major, &minor))
        XkbSelectEvents(m_display, XkbUseCoreKbd, XkbMapNotifyMask, XkbMapNotifyMask);
    XSync(m_display, False);
}

KeymapWatch::~KeymapWatch()
{
    if (m_display)
        XCloseDisplay(m_display);
}

KeymapChanges KeymapWatch::take()
{
    KeymapChanges changes;
    if (!m_display)
        return changes;
    // The round trip brings in every notice the server sent before it.
    XSync(m_display, False);
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify && event.xmapping.request == MappingKeyboard)
            ++changes.core;
        else if (m_xkbEventBase != 0 && event.type == m_xkbEventBase &&
                 reinterpret_cast<const XkbAnyEvent&>(event).xkb_type == XkbMapNotify)
            ++changes.xkb;
    }
    return changes;
}

}  // namespace kx::test
