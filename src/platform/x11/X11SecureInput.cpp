#include "platform/x11/X11SecureInput.h"

#include "platform/Log.h"
#include "platform/ProcessInfo.h"
#include "platform/Workspace.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/XConnection.h"

#include <QGuiApplication>
#include <QObject>
#include <QTimer>
#include <QWindow>

#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>

namespace kx::platform::x11 {

namespace {

constexpr int probeIntervalMs = 500;
constexpr double focusCheckTimeout = 0.25;

// Qt grabs the keyboard for as long as one of this process's popups (a menu, a list that drops
// down) is shown. Such a grab is ours, never Secure Input.
bool ownPopupShown()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const QList<QWindow*> windows = QGuiApplication::topLevelWindows();
    return std::ranges::any_of(windows, [](const QWindow* w) { return w->isVisible() && w->type() == Qt::Popup; });
}

}  // namespace

struct X11SecureInput::State {
    AtspiSession& session;
    const Workspace& workspace;
    DisplayPtr display;
    Window probeWindow = 0;
    QTimer timer;
    bool grabSeenLastTime = false;
    bool ownGrabLastTime = false;
    std::atomic<bool> grabHeld = false;

    State(AtspiSession& s, const Workspace& w) : session(s), workspace(w) {}
};

X11SecureInput::X11SecureInput(AtspiSession& session, const Workspace& workspace, const char* displayName)
    : m_state(std::make_unique<State>(session, workspace))
{
    QObject::connect(&m_state->timer, &QTimer::timeout, &m_state->timer, [this] { refresh(); });
    m_state->timer.start(probeIntervalMs);
    m_state->display = openDisplay(displayName);
    if (!m_state->display) {
        Log::line("secure input: without the X display keyboard grabs go unseen");
        return;
    }
    Display* display = m_state->display.get();
    // Never mapped: a grab on an unviewable window is refused with GrabNotViewable, unless someone
    // else holds the keyboard (AlreadyGrabbed is checked first). So the probe never takes the
    // keyboard and cannot swallow a key the user types meanwhile.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    m_state->probeWindow = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, InputOnly,
                                         CopyFromParent, CWOverrideRedirect, &attributes);
    refresh();
}

X11SecureInput::~X11SecureInput()
{
    if (m_state->display && m_state->probeWindow)
        XDestroyWindow(m_state->display.get(), m_state->probeWindow);
}

void X11SecureInput::refresh()
{
    // Without waiting: the session's thread asks whether the field still has focus.
    if (m_state->session.focus().password)
        m_state->session.run([](AtspiAccessible*) {}, focusCheckTimeout, 0);
    if (!m_state->display)
        return;
    Display* display = m_state->display.get();
    const bool holdBefore = m_ownHold && m_ownHold();
    const int status = XGrabKeyboard(display, m_state->probeWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess)
        XUngrabKeyboard(display, CurrentTime);
    XFlush(display);
    const bool grabbed = status == AlreadyGrabbed || status == GrabFrozen;
    // Our popup's grab may still be on the server a moment after the popup closed (or already on it
    // before Qt says it shows), so a popup at either of the two probes makes the grab ours; our
    // hold, taken or let go while the probe was on its way, likewise.
    const bool ownGrab = ownPopupShown() || holdBefore || (m_ownHold && m_ownHold());
    // A key held down under a passive grab (a hot key, ours included) grabs the keyboard for an
    // instant; only a grab seen by two probes in a row counts.
    m_state->grabHeld = grabbed && m_state->grabSeenLastTime && !ownGrab && !m_state->ownGrabLastTime;
    m_state->grabSeenLastTime = grabbed;
    m_state->ownGrabLastTime = ownGrab;
}

bool X11SecureInput::isEnabled()
{
    return m_state->session.focus().password || m_state->grabHeld;
}

std::optional<std::int32_t> X11SecureInput::holderPid()
{
    const auto focus = m_state->session.focus();
    if (focus.password && focus.pid > 0)
        return focus.pid;
    if (!isEnabled())
        return std::nullopt;
    const auto front = m_state->workspace.frontApplication();
    if (!front || front->pid <= 0)
        return std::nullopt;
    return front->pid;
}

bool X11SecureInput::isProcessAlive(std::int32_t pid)
{
    return process::isAlive(pid);
}

}  // namespace kx::platform::x11
