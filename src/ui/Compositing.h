#pragma once
// Whether a compositing manager draws the screen, as the desktop tells. Without one, a window's
// transparent pixels show as black: a rounded window needs a mask of its shape instead.

class QRegion;
class QSize;

namespace kx {

namespace platform {
class Compositor;
}

class Compositing {
public:
    /// The desktop that active() asks; set by the entry point before any window shows, and it must
    /// outlive them. Null (the default) reads as composited.
    static void useDesktop(platform::Compositor* desktop);
    /// Whether the desktop has a compositing manager now; true when no desktop was given.
    static bool active();
    /// The region of a rounded rectangle of size with corner radius, for QWidget::setMask.
    static QRegion roundedMask(const QSize& size, double radius);
};

}  // namespace kx
