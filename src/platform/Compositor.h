#pragma once
// Whether a compositing manager draws the screen. Without one, a window's transparent pixels show
// as black, so a window with rounded corners must take their shape instead.

namespace kx::platform {

class Compositor {
public:
    virtual ~Compositor() = default;

    /// Whether a compositing manager draws the screen now. True where the desktop cannot tell, as
    /// a platform without a compositing manager to ask draws translucency itself.
    virtual bool active() = 0;
};

}  // namespace kx::platform
