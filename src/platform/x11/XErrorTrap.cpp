#include "platform/x11/XErrorTrap.h"

#include <X11/Xlib.h>

#include <atomic>

namespace kx::platform::x11 {

namespace {

std::atomic<int> trappedError = 0;

int trap(Display*, XErrorEvent* event)
{
    int none = 0;
    trappedError.compare_exchange_strong(none, event->error_code);
    return 0;
}

}  // namespace

XErrorTrap::XErrorTrap(_XDisplay* display) : m_display(display)
{
    XSync(m_display, False);
    trappedError = 0;
    m_previous = reinterpret_cast<void*>(XSetErrorHandler(trap));
}

XErrorTrap::~XErrorTrap()
{
    XSync(m_display, False);
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(m_previous));
}

int XErrorTrap::takeError()
{
    XSync(m_display, False);
    return trappedError.exchange(0);
}

}  // namespace kx::platform::x11
