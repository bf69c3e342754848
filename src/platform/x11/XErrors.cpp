#include "platform/x11/XErrors.h"

#include "platform/Log.h"

#include <X11/Xlib.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kx::platform::x11 {

// The live traps, and the handler that hands each error to one of them.
struct XErrorRouting {
    std::mutex mutex;
    std::vector<XErrorTrap*> traps;

    // Never destroyed: a connection closed by another static's destructor may still report errors.
    static XErrorRouting& shared()
    {
        static auto* instance = new XErrorRouting;
        return *instance;
    }

    static int handle(Display* display, XErrorEvent* event)
    {
        {
            XErrorRouting& routing = shared();
            std::lock_guard lock(routing.mutex);
            XErrorTrap* owner = nullptr;
            for (XErrorTrap* trap : routing.traps)
                if (trap->m_display == display && trap->m_firstSerial <= event->serial &&
                    (!owner || trap->m_firstSerial > owner->m_firstSerial))
                    owner = trap;
            if (owner) {
                if (owner->m_error == 0)
                    owner->m_error = event->error_code;
                return 0;
            }
        }
        // A window gone between learning of it and reading it (a closed window's properties, a
        // menu that vanished) is ordinary on a desktop: not a fault, and nothing for the log.
        if (event->error_code == BadWindow)
            return 0;
        Log::line("x11: error " + std::to_string(event->error_code) + " for request " +
                  std::to_string(event->request_code) + "." + std::to_string(event->minor_code) + " on resource " +
                  std::to_string(event->resourceid));
        return 0;
    }
};

void installXErrorHandler()
{
    XSetErrorHandler(&XErrorRouting::handle);
}

XErrorTrap::XErrorTrap(_XDisplay* display) : m_display(display), m_firstSerial(NextRequest(display))
{
    installXErrorHandler();
    XErrorRouting& routing = XErrorRouting::shared();
    std::lock_guard lock(routing.mutex);
    routing.traps.push_back(this);
}

XErrorTrap::~XErrorTrap()
{
    // Errors of our requests still on their way would otherwise reach the log.
    XSync(m_display, False);
    XErrorRouting& routing = XErrorRouting::shared();
    std::lock_guard lock(routing.mutex);
    std::erase(routing.traps, this);
}

int XErrorTrap::takeError()
{
    XSync(m_display, False);
    std::lock_guard lock(XErrorRouting::shared().mutex);
    return std::exchange(m_error, 0);
}

}  // namespace kx::platform::x11
