#pragma once
// Where the mouse pointer is: the suggestion prompt opens beside it, and a click on the prompt is
// told apart from a click elsewhere.

namespace kx::platform {

/// A point in screen coordinates as the desktop gives them (X11: root-window pixels, origin top left).
struct ScreenPoint {
    double x = 0;
    double y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

class Pointer {
public:
    virtual ~Pointer() = default;

    /// The pointer's location now; the origin when the desktop cannot tell.
    virtual ScreenPoint location() = 0;
};

}  // namespace kx::platform
