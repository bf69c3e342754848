#include "platform/x11/X11SecureInput.h"

#include "platform/Log.h"
#include "platform/ProcessInfo.h"
#include "platform/Workspace.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/XConnection.h"
#include "platform/x11/XProperty.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>

#include <unistd.h>

namespace kx::platform::x11 {

namespace {

// A grab counts once two probes see it; while keys are typed they come this far apart, so a
// password prompt that grabs the keyboard is seen within a second of typing into it.
constexpr auto probeInterval = std::chrono::milliseconds(500);
constexpr double focusCheckTimeout = 0.25;
// An application that has just come to the front registers on the accessibility bus a moment
// after its window shows; until it has, its password field cannot be found. For this long after
// it is first seen in front, its focus is looked up again until it has.
constexpr auto registrationWait = std::chrono::milliseconds(1000);
constexpr auto registrationPoll = std::chrono::milliseconds(20);
// A look-up whose answer never came (the bus went away with it) is asked again after this long.
constexpr auto answerTimeout = std::chrono::seconds(2);
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

struct X11SecureInput::Answer {
    bool password = false;
    int pid = 0;
    bool registered = true;  // the application in front is on the bus
};

struct X11SecureInput::State {
    AtspiSession& session;
    const Workspace& workspace;
    DisplayPtr display;
    Window probeWindow = 0;
    std::chrono::steady_clock::time_point probedAt;
    Atom activeWindowAtom = 0;
    unsigned long activeWindow = 0;  // the window in front when last read
    Window focusWindow = None;       // the one with the keyboard focus, whose focus changes are told
    bool probeDue = false;           // told of a change the grab has not been probed since
    std::chrono::steady_clock::time_point toldAt;
    int frontPid = 0;  // the application last seen in front, and since when
    std::chrono::steady_clock::time_point frontSince;
    bool grabSeenLastTime = false;
    bool ownGrabLastTime = false;
    bool grabHeld = false;

    Answer answer;             // of the last look-up that came back
    bool pending = false;      // the focus moved; no look-up started since has come back
    bool lookUpOut = false;    // a look-up is on its way
    bool lookUpAgain = false;  // the focus moved while it was: its answer may be of the old one
    std::uint64_t lookUpNumber = 0;
    std::function<void(Field)> onAnswer;
    std::function<bool()> ownGrab;
    // Dropped first: timers and the notifier go before the rest, and answers still on their way
    // from the session's thread find it gone.
    std::shared_ptr<char> life = std::make_shared<char>(0);
    std::unique_ptr<QObject> timers = std::make_unique<QObject>();
    std::unique_ptr<QSocketNotifier> notices;

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
    readFrontWindow();
    refresh();
    // The look-up starts when the server tells, so that its answer is in by the first key.
    if (QCoreApplication::instance()) {
        m_state->notices = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
        QObject::connect(m_state->notices.get(), &QSocketNotifier::activated, m_state->notices.get(),
                         [this] { readNotices(); });
    }
}

X11SecureInput::~X11SecureInput()
{
    m_state->notices.reset();
    if (m_state->display && m_state->probeWindow)
        XDestroyWindow(m_state->display.get(), m_state->probeWindow);
}

void X11SecureInput::ignoreOwnGrabs(std::function<bool()> ours)
{
    m_state->ownGrab = std::move(ours);
}

void X11SecureInput::onFocusAnswered(std::function<void(Field)> answered)
{
    m_state->onAnswer = std::move(answered);
}

void X11SecureInput::refresh()
{
    lookUp(false);
    probeGrab();
}

void X11SecureInput::probeGrab()
{
    if (!m_state->display)
        return;
    m_state->probedAt = std::chrono::steady_clock::now();
    m_state->probeDue = false;
    Display* display = m_state->display.get();
    const int status = XGrabKeyboard(display, m_state->probeWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess)
        XUngrabKeyboard(display, CurrentTime);
    XFlush(display);
    const bool grabbed = status == AlreadyGrabbed || status == GrabFrozen;
    // Our popup's grab may still be on the server a moment after the popup closed (or already on it
    // before Qt says it shows), so a popup at either of the two probes makes the grab ours; our
    // chord grabs and our hold likewise.
    const bool ownGrab = grabbed && (ownPopupShown() || (m_state->ownGrab && m_state->ownGrab()));
    // A key held down under a passive grab (another program's hot key) grabs the keyboard for an
    // instant; only a grab seen by two probes in a row counts.
    m_state->grabHeld = grabbed && m_state->grabSeenLastTime && !ownGrab && !m_state->ownGrabLastTime;
    m_state->grabSeenLastTime = grabbed;
    m_state->ownGrabLastTime = ownGrab;
}

void X11SecureInput::readNotices()
{
    if (!m_state->display)
        return;
    Display* display = m_state->display.get();
    bool told = false;
    bool focusMovedHere = false;
    bool frontTold = false;
    // Takes what has come in without waiting for more.
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == FocusIn || event.type == FocusOut) {
            told = true;
            // A grab, ours included, takes the focus away and gives it back to the same field.
            if (event.xfocus.mode != NotifyGrab && event.xfocus.mode != NotifyUngrab)
                focusMovedHere = true;
        } else if (event.type == PropertyNotify && event.xproperty.atom == m_state->activeWindowAtom) {
            told = true;
            frontTold = true;
        }
    }
    if (told) {
        m_state->probeDue = true;
        m_state->toldAt = std::chrono::steady_clock::now();
        followFocus();
    }
    if (frontTold)
        readFrontWindow();
    if (focusMovedHere)
        focusMoved();
}

void X11SecureInput::readFrontWindow()
{
    Display* display = m_state->display.get();
    const auto windows = longProperty(display, DefaultRootWindow(display), m_state->activeWindowAtom, XA_WINDOW);
    const unsigned long active = windows.empty() ? 0 : windows.front();
    if (active == m_state->activeWindow)
        return;
    m_state->activeWindow = active;
    followFocus();
    focusMoved();
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
}

void X11SecureInput::focusMoved()
{
    const auto front = m_state->workspace.frontApplication();
    const int pid = front ? front->pid : 0;
    if (pid != m_state->frontPid) {
        m_state->frontPid = pid;
        m_state->frontSince = std::chrono::steady_clock::now();
    }
    m_state->session.setFrontProcess(pid);
    lookUp(true);
    if (m_state->pending && m_state->onAnswer)
        m_state->onAnswer(Field::unknown);
}

void X11SecureInput::lookUp(bool pending)
{
    State& state = *m_state;
    state.pending = state.pending || pending;
    if (state.lookUpOut) {
        state.lookUpAgain = state.lookUpAgain || pending;
        return;
    }
    // Without the bus nothing can be looked up; the accessibility check then keeps the corrector off.
    if (!QCoreApplication::instance() || !state.session.connected(0)) {
        answered(state.lookUpNumber, {});
        return;
    }
    state.lookUpOut = true;
    const std::uint64_t number = ++state.lookUpNumber;
    const int front = state.frontPid;
    AtspiSession* session = &state.session;
    auto reply = [this, life = std::weak_ptr<char>(state.life), number](const Answer& answer) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, life, number, answer] {
                if (life.lock())
                    answered(number, answer);
            },
            Qt::QueuedConnection);
    };
    // Runs on the session's thread once the focus has been looked up there.
    state.session.run(
        [session, front, reply](DBusConnection*, const AtspiObject*, int) {
            const AtspiSession::Focus focus = session->focus();
            reply({.password = focus.password,
                   .pid = focus.pid,
                   .registered = front <= 0 || focus.pid == front || session->applications().contains(front)});
        },
        focusCheckTimeout, 0);
    QTimer::singleShot(answerTimeout, state.timers.get(), [this, number] {
        if (m_state->lookUpOut && m_state->lookUpNumber == number) {
            m_state->lookUpOut = false;
            lookUp(m_state->pending);
        }
    });
}

void X11SecureInput::answered(std::uint64_t number, const Answer& answer)
{
    State& state = *m_state;
    if (number != state.lookUpNumber)
        return;
    state.lookUpOut = false;
    const bool wasPassword = state.answer.password;
    state.answer = answer;
    if (std::exchange(state.lookUpAgain, false)) {
        lookUp(true);
        return;
    }
    const bool waiting = state.frontPid > 0 && state.frontPid != ::getpid() && !answer.registered &&
                         std::chrono::steady_clock::now() - state.frontSince < registrationWait;
    if (state.pending && waiting) {
        QTimer::singleShot(registrationPoll, state.timers.get(), [this] { lookUp(true); });
        return;
    }
    const bool wasPending = std::exchange(state.pending, false);
    if (state.onAnswer && (wasPending || (answer.password && !wasPassword)))
        state.onAnswer(field());
}

X11SecureInput::Field X11SecureInput::field() const
{
    if (m_state->pending)
        return Field::unknown;
    return m_state->answer.password || m_state->grabHeld ? Field::secure : Field::open;
}

X11SecureInput::Field X11SecureInput::fieldAtKey()
{
    if (m_state->display) {
        // Another window in front, however soon after the last key: the key may go to a field of
        // it. One property read on the X server, which the window manager sets before the window
        // gets keys.
        readNotices();
        readFrontWindow();
    }
    // For the keys after this one: a field may have got the focus inside the same window.
    lookUp(false);
    if (std::chrono::steady_clock::now() - m_state->probedAt >= probeInterval)
        probeGrab();
    return field();
}

bool X11SecureInput::isEnabled()
{
    readNotices();
    lookUp(false);
    if (std::chrono::steady_clock::now() - m_state->probedAt >= probeInterval)
        probeGrab();
    return m_state->grabHeld || (!m_state->pending && m_state->answer.password);
}

bool X11SecureInput::isEnabledPolled()
{
    if (!m_state->display)
        return isEnabled();
    if (!settling() && !m_state->grabSeenLastTime && !m_state->grabHeld && !m_state->answer.password)
        return false;
    return isEnabled();
}

bool X11SecureInput::settling()
{
    readNotices();
    return m_state->probeDue || std::chrono::steady_clock::now() - m_state->toldAt < settleTime;
}

std::optional<std::int32_t> X11SecureInput::holderPid()
{
    const Answer& answer = m_state->answer;
    if (answer.password && answer.pid > 0)
        return answer.pid;
    if (!answer.password && !m_state->grabHeld)
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
