#include "platform/x11/X11Compositor.h"

#include <QGuiApplication>

#include <X11/Xlib.h>

#include <string>

namespace kx::platform::x11 {

bool X11Compositor::active()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return true;
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
}

}  // namespace kx::platform::x11
