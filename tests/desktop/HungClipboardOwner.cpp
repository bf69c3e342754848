#include "HungClipboardOwner.h"

#include <X11/Xlib.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace kx::test {

HungClipboardOwner::HungClipboardOwner()
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        char answer = 'n';
        if (Display* display = XOpenDisplay(nullptr)) {
            const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
            const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
            XSetSelectionOwner(display, clipboard, window, CurrentTime);
            answer = XGetSelectionOwner(display, clipboard) == window ? 'y' : 'n';
        }
        (void)!::write(ready[1], &answer, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char answer = 'n';
    m_owns = m_pid > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
    ::close(ready[0]);
}

HungClipboardOwner::~HungClipboardOwner()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

}  // namespace kx::test
