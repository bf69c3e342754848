#pragma once
// The tray application: the controller on the real X11 desktop, driven by the Qt event loop.

namespace kx {

class Application {
public:
    /// Runs until the user quits; the process's exit status. Without a usable X11 session it
    /// prints one line saying what is missing and returns 1.
    static int run(int argc, char** argv);
};

}  // namespace kx
