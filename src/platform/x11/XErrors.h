#pragma once
// X protocol errors without the Xlib default, which ends the process: a window that vanishes
// between listing and reading it is ordinary on a desktop.

namespace kx::platform::x11 {

/// Installs, once per process, an error handler that drops the errors. Needs no display.
void ignoreXErrors();

}  // namespace kx::platform::x11
