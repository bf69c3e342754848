#include "platform/x11/X11Keyboard.h"

#include "platform/Log.h"
#include "platform/x11/XErrors.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kx::platform::x11 {

namespace {

// How long an answered chord press is remembered: its record, or its grab's event, comes within
// milliseconds of the other.
constexpr std::chrono::seconds answerLifetime{1};
// The tap handles a caught press within milliseconds of its delivery here; one it has not
// handled by then never showed in the recording, and must not keep the keyboard held.
constexpr std::chrono::seconds caughtLifetime{1};

// A chord press is told by its key and its server time, which its record and its grab's event share.
auto pressAt(unsigned keycode, std::uint32_t time)
{
    return [=](const X11Keyboard::ChordPress& press) { return press.keycode == keycode && press.time == time; };
}

ModifierMap readModifierMap(Display* display)
{
    ModifierMap map;
    XModifierKeymap* modifiers = XGetModifierMapping(display);
    if (!modifiers)
        return map;
    for (int index = 0; index < 8; ++index) {
        for (int slot = 0; slot < modifiers->max_keypermod; ++slot) {
            const KeyCode keycode = modifiers->modifiermap[index * modifiers->max_keypermod + slot];
            if (keycode == 0)
                continue;
            ModifierKey key{.keycode = keycode, .keysyms = {}};
            int width = 0;
            if (KeySym* keysyms = XGetKeyboardMapping(display, keycode, 1, &width)) {
                for (int column = 0; column < width; ++column)
                    if (keysyms[column] != NoSymbol)
                        key.keysyms.push_back(static_cast<std::uint32_t>(keysyms[column]));
                XFree(keysyms);
            }
            map[index].push_back(std::move(key));
        }
    }
    XFreeModifiermap(modifiers);
    return map;
}

}  // namespace

std::shared_ptr<X11Keyboard> X11Keyboard::open()
{
    auto display = openDisplay();
    if (!display)
        return nullptr;
    const auto extensions = queryExtensions(display.get());
    if (!extensions)
        return nullptr;
    return std::shared_ptr<X11Keyboard>(new X11Keyboard(std::move(display), *extensions));
}

X11Keyboard::X11Keyboard(DisplayPtr display, const Extensions& extensions)
    : m_display(std::move(display)), m_extensions(extensions)
{
    Display* dpy = m_display.get();
    // Any resource of ours carries the client's id base; a window that is never shown will do.
    XSetWindowAttributes attributes{};
    const Window anchor =
        XCreateWindow(dpy, DefaultRootWindow(dpy), -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, &attributes);
    m_clientBase = static_cast<std::uint32_t>(anchor & XRecordIdBaseMask(dpy));
    m_fd = ConnectionNumber(dpy);
    XkbSelectEvents(dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XSync(dpy, False);
}

X11Keyboard::~X11Keyboard()
{
    ungrabChordsLocked(m_display.get());
    if (m_holding)
        XUngrabKeyboard(m_display.get(), CurrentTime);
    XSync(m_display.get(), False);
}

// The hold is taken on the window that has the focus: a grab on any other window moves the focus
// to it as far as the applications are told (FocusOut, mode Grab), and GTK then takes its field
// for unfocused, so the field could not be read over accessibility while we hold the keyboard.
// The keys still come to us alone.
bool X11Keyboard::grabLocked(Display* display)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus != None && focus != PointerRoot) {
        // The focus window may be gone by now: the root window then.
        XErrorTrap trap(display);
        const int status = XGrabKeyboard(display, focus, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (trap.takeError() == 0 && status == GrabSuccess)
            return true;
    }
    const int status =
        XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess)
        return true;
    // Said out loud, so that the recording shows no hold where the server refused one.
    XUngrabKeyboard(display, CurrentTime);
    XFlush(display);
    Log::line("x11: cannot hold the keyboard (grab status " + std::to_string(status) + "); keys pass meanwhile");
    return false;
}

void X11Keyboard::setHolding(bool on)
{
    std::lock_guard lock(m_mutex);
    Display* display = m_display.get();
    if (on == m_holding)
        return;
    if (on) {
        m_holding = grabLocked(display);
    } else {
        XUngrabKeyboard(display, CurrentTime);
        XFlush(display);
        m_holding = false;
        m_caught.clear();
    }
}

// With the server grabbed no other client's key comes in between the look and the release, and
// after the round trip every press the hold caught so far is in this connection's queue.
bool X11Keyboard::letGoUnlessCaught()
{
    std::lock_guard lock(m_mutex);
    if (!m_holding)
        return true;
    Display* display = m_display.get();
    XGrabServer(display);
    XSync(display, False);
    drainLocked(display);
    const auto now = std::chrono::steady_clock::now();
    if (!m_caught.empty() && now - m_caught.back().at > caughtLifetime) {
        Log::line("x11: " + std::to_string(m_caught.size()) +
                  " caught key(s) never reached the tap; letting the keyboard go");
        m_caught.clear();
    }
    const bool letGo = m_caught.empty();
    if (letGo) {
        XUngrabKeyboard(display, CurrentTime);
        m_holding = false;
    }
    XUngrabServer(display);
    XFlush(display);
    return letGo;
}

// Presses come here and to the tap in the same order: one caught before the press handled never
// showed in the recording.
void X11Keyboard::handedOnLocked(unsigned keycode, std::uint32_t time)
{
    const auto press = std::ranges::find_if(
        m_caught, [&](const CaughtPress& caught) { return caught.keycode == keycode && caught.time == time; });
    if (press != m_caught.end())
        m_caught.erase(m_caught.begin(), press + 1);
}

bool X11Keyboard::grabChordLocked(Display* display, unsigned keycode, unsigned modifiers)
{
    if (m_chords.contains({keycode, modifiers}))
        return true;
    XErrorTrap trap(display);
    grabKeyLocked(display, keycode, modifiers);
    if (const int error = trap.takeError()) {
        Log::line("x11: cannot grab keycode " + std::to_string(keycode) + " with modifiers " +
                  std::to_string(modifiers) + " (error " + std::to_string(error) + "); another program has it");
        return false;
    }
    m_chords.insert({keycode, modifiers});
    return true;
}

// Synchronous: the keyboard stops at the chord until allowChordLocked() says whether it was ours,
// so a chord we do not want reaches the application itself, as typed. Typing it again instead
// would be caught by this very grab.
void X11Keyboard::grabKeyLocked(Display* display, unsigned keycode, unsigned modifiers)
{
    XGrabKey(display, static_cast<int>(keycode), modifiers, DefaultRootWindow(display), False, GrabModeAsync,
             GrabModeSync);
}

// Matched by key and server time, never by count: an answer for a press our grab did not stop
// (another client held the keyboard, or the grab was already active) must not stand in for the
// next one. The answer itself cannot name its press (a press replayed after a stop has a later
// grab time than its own), so it goes out only while that press is the one stopping the keyboard.
void X11Keyboard::allowChordLocked(Display* display, unsigned keycode, std::uint32_t time, bool handOn)
{
    const auto press = std::ranges::find_if(m_unanswered, pressAt(keycode, time));
    if (press == m_unanswered.end())
        return;
    XAllowEvents(display, handOn ? ReplayKeyboard : AsyncKeyboard, CurrentTime);
    XFlush(display);
    m_unanswered.erase(press);
}

std::optional<unsigned> X11Keyboard::stoppedStateLocked(Display* display, unsigned keycode, std::uint32_t time)
{
    if (std::ranges::none_of(m_chords, [&](const auto& chord) { return chord.first == keycode; }))
        return std::nullopt;
    const auto matches = pressAt(keycode, time);
    auto press = std::ranges::find_if(m_unanswered, matches);
    if (press == m_unanswered.end()) {
        // Its record came first: after a round trip the grab's event is here if it stopped the keyboard.
        XSync(display, False);
        drainLocked(display);
        press = std::ranges::find_if(m_unanswered, matches);
        if (press == m_unanswered.end())
            return std::nullopt;
    }
    return press->state;
}

void X11Keyboard::allowOverdueChordLocked(Display* display, const ChordPress& press, bool handOn)
{
    const auto waiting = std::ranges::find_if(m_unanswered, pressAt(press.keycode, press.time));
    if (waiting == m_unanswered.end())
        return;
    XAllowEvents(display, handOn ? ReplayKeyboard : AsyncKeyboard, CurrentTime);
    XFlush(display);
    const auto now = std::chrono::steady_clock::now();
    while (!m_decidedFromGrab.empty() && now - m_decidedFromGrab.front().at > answerLifetime)
        m_decidedFromGrab.pop_front();
    m_decidedFromGrab.push_back(*waiting);
    m_decidedFromGrab.back().at = now;
    m_unanswered.erase(waiting);
}

bool X11Keyboard::takeDecidedFromGrabLocked(unsigned keycode, std::uint32_t time)
{
    const auto press = std::ranges::find_if(m_decidedFromGrab, pressAt(keycode, time));
    if (press == m_decidedFromGrab.end())
        return false;
    m_decidedFromGrab.erase(press);
    return true;
}

std::optional<X11Keyboard::ChordPress> X11Keyboard::overdueChordLocked(Display* display,
                                                                       std::chrono::milliseconds after)
{
    drainLocked(display);
    if (m_unanswered.empty() || std::chrono::steady_clock::now() - m_unanswered.front().at < after)
        return std::nullopt;
    return m_unanswered.front();
}

bool X11Keyboard::awaitingAnswerLocked() const
{
    return !m_unanswered.empty();
}

bool X11Keyboard::isChordLocked(unsigned keycode, unsigned state) const
{
    return m_chords.contains({keycode, state & 0xFFu});
}

void X11Keyboard::ungrabChordsLocked(Display* display)
{
    for (const auto& [keycode, modifiers] : m_chords)
        XUngrabKey(display, static_cast<int>(keycode), modifiers, DefaultRootWindow(display));
    m_chords.clear();
    XSync(display, False);
}

bool X11Keyboard::fakeLocked(Display* display, const FakeKeysBuilder& build)
{
    XGrabServer(display);
    const std::optional<FakeKeys> keys = build(display);
    if (!keys) {
        XUngrabServer(display);
        XFlush(display);
        return false;
    }
    const bool held = m_holding;
    std::vector<std::pair<unsigned, unsigned>> lifted;
    for (const auto& chord : m_chords)
        for (const auto& key : *keys)
            if (key.down && key.keycode == chord.first) {
                lifted.push_back(chord);
                break;
            }
    if (held)
        XUngrabKeyboard(display, CurrentTime);
    for (const auto& [keycode, modifiers] : lifted)
        XUngrabKey(display, static_cast<int>(keycode), modifiers, DefaultRootWindow(display));
    for (const auto& key : *keys)
        fakeKey(display, key);
    for (const auto& [keycode, modifiers] : lifted)
        grabKeyLocked(display, keycode, modifiers);
    if (held)
        m_holding = grabLocked(display);
    XUngrabServer(display);
    XSync(display, False);
    drainLocked(display);
    return true;
}

void X11Keyboard::replayLocked(Display* display, unsigned keycode, unsigned state)
{
    fakeLocked(display, [&](Display* display) -> std::optional<FakeKeys> {
        XkbStateRec now{};
        XkbGetState(display, XkbUseCoreKbd, &now);
        const ModifierMap map = readModifierMap(display);
        const auto roles = rolesFromModifierMap(map);
        const unsigned locks = roles.capsLock | roles.numLock;
        // The user may have let go of Ctrl already; pressing what is still held again would let
        // the server think it released when we release ours.
        const unsigned missing = state & 0xFFu & ~locks & ~static_cast<unsigned>(now.base_mods | now.latched_mods);
        FakeKeys keys;
        std::vector<unsigned> pressed;
        for (std::size_t index = 0; index < map.size(); ++index)
            if ((missing & (1u << index)) && !map[index].empty())
                pressed.push_back(map[index].front().keycode);
        for (const unsigned modifier : pressed)
            keys.push_back({modifier, true});
        keys.push_back({keycode, true});
        keys.push_back({keycode, false});
        for (auto modifier = pressed.rbegin(); modifier != pressed.rend(); ++modifier)
            keys.push_back({*modifier, false});
        return keys;
    });
}

// A latch rather than a lock: the press takes the latched group and ends the latch, so that the
// group the user selected stays, no notice of a layout switch goes out, and the keymap is left
// alone where a spare keycode would have been given the character.
void X11Keyboard::fakeKey(Display* display, const FakeKey& key)
{
    if (key.down && key.groupLatch != 0)
        XkbLatchGroup(display, XkbUseCoreKbd, static_cast<unsigned>(key.groupLatch));
    XTestFakeKeyEvent(display, key.keycode, key.down ? True : False, CurrentTime);
}

ModifierRoles X11Keyboard::modifierRolesLocked(Display* display)
{
    return rolesFromModifierMap(readModifierMap(display));
}

void X11Keyboard::drainQueuedLocked()
{
    if (XQLength(m_display.get()) > 0)
        drainLocked(m_display.get());
}

void X11Keyboard::drainLocked(Display* display)
{
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == KeyPress) {
            if (m_holding) {
                m_caught.push_back({event.xkey.keycode, static_cast<std::uint32_t>(event.xkey.time),
                                    std::chrono::steady_clock::now()});
            } else if (isChordLocked(event.xkey.keycode, event.xkey.state)) {
                // A grabbed chord's own press: the keyboard is stopped until it is answered.
                m_unanswered.push_back({event.xkey.keycode, event.xkey.state,
                                        static_cast<std::uint32_t>(event.xkey.time), std::chrono::steady_clock::now()});
                if (m_unansweredNotice)
                    m_unansweredNotice();
            }
        } else if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            ++m_keymapGeneration;
        } else if (event.type == m_extensions.xkbEventBase) {
            ++m_keymapGeneration;
        }
    }
}

}  // namespace kx::platform::x11
