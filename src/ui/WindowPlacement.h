#pragma once
// What the program's windows share: a size that fits the screen they open on, a frame placed
// inside its available area (not under a panel, never with the title bar off the top), and the
// desktop's keys for closing them.

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace kx {

class WindowPlacement {
public:
    /// Room kept for the window manager's frame before the window has one to measure: a title bar
    /// and thin borders, as the common desktops draw them at this scale.
    static constexpr QMargins assumedFrame{6, 36, 6, 6};

    /// The available area of the screen the window opens on (the primary screen's when unknown).
    static QRect availableArea(const QWidget& window);
    /// The largest content size whose frame fits in area.
    static QSize room(const QRect& area, const QMargins& frame = assumedFrame);

    /// Sizes window to wanted, or smaller where the screen has less room, and centres its frame in
    /// the available area. A resizable window's minimum size is lowered to fit as well; the others
    /// get a fixed size.
    static void fit(QWidget& window, QSize wanted, bool resizable);
    /// Titled and closable, with no minimize button; fitted as above, with Escape and Ctrl+W
    /// closing it and the focus shown on every button.
    static void prepare(QWidget& window, QSize wanted, bool resizable);
    /// Escape and Ctrl+W close window, as in the desktop's own applications.
    static void closeOnKeys(QWidget& window);
    /// Shows the window, raises it and makes it the active window.
    static void bringForward(QWidget& window);
};

}  // namespace kx
