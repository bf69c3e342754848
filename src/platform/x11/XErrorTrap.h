#pragma once
// Catches the X errors of a few requests instead of letting Xlib's default handler end the
// process: a key another client already grabbed answers BadAccess, and that is a fact to log.
// One trap at a time; the handler that was installed before comes back at the end.

struct _XDisplay;

namespace kx::platform::x11 {

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
    _XDisplay* m_display;
    void* m_previous;
};

}  // namespace kx::platform::x11
