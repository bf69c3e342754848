#pragma once
// Whether a compositing manager draws the screen. Without one, a window's transparent pixels show
// as black: a rounded window needs a mask of its shape instead.

class QRegion;
class QSize;

namespace kx {

class Compositing {
public:
    /// Whether the X screen of the application has a compositing manager (it owns the
    /// _NET_WM_CM_S<screen> selection). True off X11, where the platform draws translucency itself.
    static bool active();
    /// The region of a rounded rectangle of size with corner radius, for QWidget::setMask.
    static QRegion roundedMask(const QSize& size, double radius);
};

}  // namespace kx
