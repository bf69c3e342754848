#include "platform/x11/XErrors.h"

#include <X11/Xlib.h>

#include <mutex>

namespace kx::platform::x11 {

namespace {

int dropError(Display*, XErrorEvent*)
{
    return 0;
}

}  // namespace

void ignoreXErrors()
{
    static std::once_flag installed;
    std::call_once(installed, [] { XSetErrorHandler(dropError); });
}

}  // namespace kx::platform::x11
