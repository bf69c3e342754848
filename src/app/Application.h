#pragma once
// The tray application: the controller on the real X11 desktop, driven by the Qt event loop.

namespace kx {

class Application {
public:
    /// Runs until the user quits or a quit signal comes; the process's exit status. Without an
    /// X11 display it prints one line saying what is missing and returns 1. On a display that
    /// lacks the keyboard extensions it says so in one line and runs with the corrector off. While
    /// another instance runs on the same X server it says so, naming the holder, and returns 0.
    static int run(int argc, char** argv);
};

}  // namespace kx
