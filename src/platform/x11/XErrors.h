#pragma once
// X protocol errors never end the process, as Xlib's default handler would: a window that vanishes
// between listing and reading it is ordinary on a desktop, and a key another client already
// grabbed answers BadAccess, a fact to report. One handler serves the whole process, and nothing
// here swaps it for another: an error goes to the trap set for its request, else to the log,
// except BadWindow, which only says a window is gone.

struct _XDisplay;

namespace kx::platform::x11 {

/// Puts the handler in place; any thread, no display needed. openDisplay() and every trap do it,
/// since a library that connects later (Qt's xcb plugin) sets a handler of its own.
void installXErrorHandler();

/// Catches the errors of the requests made on display while it lives; those sent before it are
/// not its own. Any number may live at once, on any displays and threads: an error goes to the
/// trap on its display set last before its request.
class XErrorTrap {
public:
    explicit XErrorTrap(_XDisplay* display);
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    ~XErrorTrap();

    /// Waits for the server to answer what was sent so far; the first error code since the trap
    /// was set or last asked, 0 when none.
    int takeError();

private:
    friend struct XErrorRouting;

    _XDisplay* m_display;
    unsigned long m_firstSerial;
    int m_error = 0;  // written by the handler, on whichever thread reads the error
};

}  // namespace kx::platform::x11
