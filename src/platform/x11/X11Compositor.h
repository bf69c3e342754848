#pragma once
// The compositing manager of the X screen the application shows its windows on: the owner of
// that screen's _NET_WM_CM_S<screen> selection. Main thread only: it asks over the application's
// own display connection.

#include "platform/Compositor.h"

namespace kx::platform::x11 {

class X11Compositor final : public Compositor {
public:
    /// True when the application has no X11 display (another Qt platform).
    bool active() override;
};

}  // namespace kx::platform::x11
