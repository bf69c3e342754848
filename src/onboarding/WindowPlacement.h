#pragma once
// What the setup and walkthrough windows share: a fixed-size window with only a close button,
// centred on the screen the first time, and brought to the front as the active window.

class QWidget;

namespace kx {

class WindowPlacement {
public:
    /// Titled and closable only, never resized; centred on its screen.
    static void prepare(QWidget& window);
    /// Shows the window, raises it and makes it the active window.
    static void bringForward(QWidget& window);
};

}  // namespace kx
