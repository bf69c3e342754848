#include "platform/x11/X11SecureInput.h"

#include "platform/Log.h"
#include "platform/ProcessInfo.h"
#include "platform/Workspace.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/XConnection.h"
#include "platform/x11/XProperty.h"

#include <QGuiApplication>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include <unistd.h>

namespace kx::platform::x11 {

namespace {

// A grab counts once two probes see it; while keys are typed they come this far apart, so a
// password prompt that grabs the keyboard is seen within a second of typing into it.
constexpr auto probeInterval = std::chrono::milliseconds(500);
// Keys closer together than this are one burst of typing: each is answered by the look-up that the
// one before asked for, which is in long before the next key. The first key after a pause may go
// to a window that opened or a field clicked meanwhile, so it waits for a look-up of its own.
constexpr auto burstGap = std::chrono::milliseconds(300);
constexpr double focusCheckTimeout = 0.25;
// An application that has just come to the front registers on the accessibility bus a moment
// after its window shows; until it has, its password field cannot be found. For this long after
// it is first seen in front, a look-up of the focus waits for it.
constexpr auto registrationWait = std::chrono::milliseconds(1000);
constexpr auto registrationPoll = std::chrono::milliseconds(20);
// After the server told of a change, the checks of the status watch ask the bus for this long: a
// window that has come to the front may be slow to register there and to focus its field.
constexpr auto settleTime = std::chrono::seconds(3);
// The focus may move while it is being followed; it is read again at most this many times.
constexpr int focusAttempts = 3;

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
    std::chrono::steady_clock::time_point probedAt;
    std::chrono::steady_clock::time_point askedAt;
    Atom activeWindowAtom = 0;
    unsigned long activeWindow = 0;  // the window in front at the last question
    Window focusWindow = None;       // the one with the keyboard focus, whose focus changes are told
    bool focusMoved = false;         // told since it was last followed
    bool probeDue = false;           // told of a change the grab has not been probed since
    std::chrono::steady_clock::time_point toldAt;
    int frontPid = 0;                // the application last seen in front, and since when
    std::chrono::steady_clock::time_point frontSince;
    bool grabSeenLastTime = false;
    bool ownGrabLastTime = false;
    bool grabHeld = false;

    State(AtspiSession& s, const Workspace& w) : session(s), workspace(w) {}
};

X11SecureInput::X11SecureInput(AtspiSession& session, const Workspace& workspace, const char* displayName)
    : m_state(std::make_unique<State>(session, workspace))
{
    m_state->display = openDisplay(displayName);
    if (!m_state->display) {
        Log::line("secure input: without the X display keyboard grabs go unseen");
        return;
    }
    Display* display = m_state->display.get();
    m_state->activeWindowAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    // Never mapped: a grab on an unviewable window is refused with GrabNotViewable, unless someone
    // else holds the keyboard (AlreadyGrabbed is checked first). So the probe never takes the
    // keyboard and cannot swallow a key the user types meanwhile.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    m_state->probeWindow = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, InputOnly,
                                         CopyFromParent, CWOverrideRedirect, &attributes);
    // Told without asking: the window in front, and focus changes while the focus is on the root
    // (or on none), as they are on the window that has it.
    XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask | FocusChangeMask);
    followFocus();
    refresh();
}

X11SecureInput::~X11SecureInput()
{
    if (m_state->display && m_state->probeWindow)
        XDestroyWindow(m_state->display.get(), m_state->probeWindow);
}

void X11SecureInput::refresh()
{
    m_state->session.lookUpFocus();
    probeGrab();
}

void X11SecureInput::probeGrab()
{
    if (!m_state->display)
        return;
    m_state->probedAt = std::chrono::steady_clock::now();
    m_state->probeDue = false;
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

void X11SecureInput::readNotices()
{
    Display* display = m_state->display.get();
    bool told = false;
    // Takes what has come in without waiting for more.
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == FocusIn || event.type == FocusOut) {
            m_state->focusMoved = true;
            told = true;
        } else if (event.type == PropertyNotify && event.xproperty.atom == m_state->activeWindowAtom) {
            told = true;
        }
    }
    if (told) {
        m_state->probeDue = true;
        m_state->toldAt = std::chrono::steady_clock::now();
    }
}

void X11SecureInput::followFocus()
{
    Display* display = m_state->display.get();
    const Window root = DefaultRootWindow(display);
    // The root keeps its own selection; PointerRoot and None are no windows. A window that has
    // gone meanwhile answers BadWindow, which says only that.
    const auto client = [root](Window window) { return window != None && window != PointerRoot && window != root; };
    for (int attempt = 0; attempt < focusAttempts; ++attempt) {
        Window focus = None;
        int revertTo = 0;
        XGetInputFocus(display, &focus, &revertTo);
        // Asked after the selection: still there, so any later move is told.
        if (focus == m_state->focusWindow)
            return;
        if (client(m_state->focusWindow))
            XSelectInput(display, m_state->focusWindow, NoEventMask);
        if (client(focus))
            XSelectInput(display, focus, FocusChangeMask);
        m_state->focusWindow = focus;
    }
    // Still moving: the next question follows it again.
    m_state->focusMoved = true;
}

void X11SecureInput::lookUpFocusNow()
{
    const auto lookUp = [this] {
        m_state->session.run([](DBusConnection*, const AtspiObject*, int) {}, focusCheckTimeout, 2 * focusCheckTimeout);
    };
    const auto front = m_state->workspace.frontApplication();
    const int pid = front ? front->pid : 0;
    m_state->session.setFrontProcess(pid);
    lookUp();
    if (pid <= 0 || pid == ::getpid())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (pid != m_state->frontPid) {
        m_state->frontPid = pid;
        m_state->frontSince = now;
    }
    if (m_state->session.applications().contains(pid) || !m_state->session.connected(0))
        return;
    while (std::chrono::steady_clock::now() - m_state->frontSince < registrationWait) {
        std::this_thread::sleep_for(registrationPoll);
        if (m_state->session.applicationsNow(focusCheckTimeout).contains(pid)) {
            lookUp();
            return;
        }
    }
}

bool X11SecureInput::isEnabled()
{
    const auto now = std::chrono::steady_clock::now();
    // Another window in front, however soon after the last key: the next key may be typed into a
    // field of it. One property read on the X server, which the window manager sets before the
    // window gets keys.
    bool frontChanged = false;
    if (m_state->display) {
        readNotices();
        const auto windows = longProperty(m_state->display.get(), DefaultRootWindow(m_state->display.get()),
                                          m_state->activeWindowAtom, XA_WINDOW);
        const unsigned long active = windows.empty() ? 0 : windows.front();
        frontChanged = active != m_state->activeWindow;
        m_state->activeWindow = active;
        if (std::exchange(m_state->focusMoved, false) || frontChanged)
            followFocus();
    }
    const bool afterPause = frontChanged || now - m_state->askedAt >= burstGap;
    m_state->askedAt = now;
    if (afterPause)
        lookUpFocusNow();
    const bool password = m_state->session.focus().password;
    if (!afterPause)
        m_state->session.lookUpFocus();
    if (now - m_state->probedAt >= probeInterval)
        probeGrab();
    return password || m_state->grabHeld;
}

bool X11SecureInput::isEnabledPolled()
{
    if (!m_state->display)
        return isEnabled();
    readNotices();
    const bool settling =
        m_state->probeDue || std::chrono::steady_clock::now() - m_state->toldAt < settleTime;
    if (!settling && !m_state->grabSeenLastTime && !m_state->grabHeld && !m_state->session.focus().password)
        return false;
    return isEnabled();
}

std::optional<std::int32_t> X11SecureInput::holderPid()
{
    const auto focus = m_state->session.focus();
    if (focus.password && focus.pid > 0)
        return focus.pid;
    // What the question before this one found: asked right after it, as the watch asks.
    if (!focus.password && !m_state->grabHeld)
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
