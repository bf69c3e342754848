#pragma once
// The keyboard-focus mark of the hand-drawn controls (switches, the mode selector, tab buttons):
// a ring in the accent colour around the control's shape, drawn only while the control has the
// focus and the focus last moved by keyboard, as the desktop's own controls do.

#include <QRectF>

class QPainter;
class QWidget;

namespace kx {

class FocusRing {
public:
    /// Whether widget should show its ring now.
    static bool shown(const QWidget& widget);
    /// Draws the ring along shape (the control's outline, radius its corner radius) when shown.
    /// onAccent: shape is filled with the accent colour, which would hide the ring, so a second ring
    /// in the window's colour is drawn just inside it.
    static void paint(QPainter& painter, const QWidget& widget, const QRectF& shape, double radius,
                      bool onAccent = false);
};

}  // namespace kx
