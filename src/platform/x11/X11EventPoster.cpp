#include "platform/x11/X11EventPoster.h"

#include "platform/KeyStroke.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/x11/KeyMapping.h"
#include "platform/x11/XErrors.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>
#include <utility>

namespace kx::platform::x11 {

namespace {

using FakeKeys = std::vector<X11Keyboard::FakeKey>;

// Long enough for a user to let go of a hot key's modifiers, well within the 2 s after which a
// rewrite that holds the user's keys is given up.
constexpr std::chrono::milliseconds modifierReleaseWait{1000};
constexpr std::chrono::milliseconds modifierPoll{10};
// Time for the applications to read the keymap after a spare got a new character; a key that
// needs more than two new spares at once is pressed after the last change without a pause.
constexpr std::chrono::milliseconds spareSettle{30};
constexpr int spareSettleAttempts = 3;
// A typist's key is down for up to a tenth of a second or so, but the next word's letters follow
// one another with no gap between them, and the rewrite often needs several of them in a row: a
// key the user holds, or a Shift that would change what ours type, is waited out for a few keys'
// time before a spare is given a new character for it. Every such change makes each client on
// the desktop reload its keymap; the user's keys are caught by the hold meanwhile, and the wait
// stays well within the 2 s after which a rewrite that holds them is given up.
constexpr std::chrono::milliseconds heldKeyWait{500};
constexpr std::chrono::milliseconds heldKeyPoll{5};

void press(FakeKeys& keys, unsigned keycode, bool down)
{
    keys.push_back({keycode, down});
}

bool isModifierKeysym(std::uint32_t keysym)
{
    return IsModifierKey(keysym);
}

// The top-level window holding window: the root's child it descends from. None when it is gone.
Window topLevel(Display* display, Window window)
{
    const Window root = DefaultRootWindow(display);
    while (window != None && window != PointerRoot && window != root) {
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        const XErrorTrap trap(display);
        if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count))
            return None;
        XFree(children);
        if (parent == root)
            return window;
        window = parent;
    }
    return window == root ? None : window;
}

}  // namespace

void X11EventPoster::KeymapFree::operator()(_XkbDesc* keymap) const
{
    XkbFreeKeyboard(keymap, XkbAllComponentsMask, True);
}

X11EventPoster::KeysDown::KeysDown(Display* display)
{
    XQueryKeymap(display, m_bits.data());
}

bool X11EventPoster::KeysDown::contains(unsigned keycode) const
{
    return keycode < 256 && (static_cast<unsigned char>(m_bits[keycode / 8]) >> (keycode % 8)) & 1u;
}

bool X11EventPoster::KeysDown::empty() const
{
    return std::all_of(m_bits.begin(), m_bits.end(), [](char bits) { return bits == 0; });
}

bool X11EventPoster::KeysDown::intersects(const KeysDown& other) const
{
    for (std::size_t i = 0; i < m_bits.size(); ++i)
        if (m_bits[i] & other.m_bits[i])
            return true;
    return false;
}

X11EventPoster::X11EventPoster(std::shared_ptr<X11Keyboard> keyboard) : m_keyboard(std::move(keyboard)) {}

X11EventPoster::~X11EventPoster()
{
    std::lock_guard lock(m_mutex);
    m_keyboard->with([this](Display* display) {
        refreshIfChanged(display);
        m_spares.giveBack(display);
        XSync(display, False);
    });
}

void X11EventPoster::refreshIfChanged(Display* display)
{
    m_keyboard->drainLocked(display);
    if (m_generation != m_keyboard->keymapGeneration())
        refreshKeymap(display);
}

bool X11EventPoster::post(const SyntheticKey& event)
{
    std::lock_guard lock(m_mutex);
    if (event.marked) {
        // A key of ours goes out whole, press and release together with the server grabbed: a
        // press of the user's on the same key between ours and our release would be dropped.
        if (event.down) {
            const bool flushed = !m_pendingDown || postMarked({*std::exchange(m_pendingDown, std::nullopt)});
            m_pendingDown = event;
            return flushed;
        }
        std::vector<SyntheticKey> events;
        if (m_pendingDown)
            events.push_back(*std::exchange(m_pendingDown, std::nullopt));
        events.push_back(event);
        return postMarked(events);
    }
    std::optional<FakeKeys> keys = m_keyboard->with([&](Display* display) {
        refreshIfChanged(display);
        return keysFor(display, event);
    });
    if (!keys)
        return false;
    if (!m_unmarked)
        m_unmarked = openDisplay();
    if (!m_unmarked)
        return false;
    for (const auto& key : *keys)
        X11Keyboard::fakeKey(m_unmarked.get(), key);
    XSync(m_unmarked.get(), False);
    return true;
}

bool X11EventPoster::postBatch(const std::vector<SyntheticKey>& events)
{
    if (!std::ranges::all_of(events, &SyntheticKey::marked))
        return EventPoster::postBatch(events);
    std::lock_guard lock(m_mutex);
    std::vector<SyntheticKey> batch;
    if (m_pendingDown)
        batch.push_back(*std::exchange(m_pendingDown, std::nullopt));
    batch.insert(batch.end(), events.begin(), events.end());
    return postMarked(batch);
}

std::optional<FocusWindow> X11EventPoster::focusWindow()
{
    const Window focus = m_keyboard->with([](Display* display) {
        Window window = None;
        int revert = 0;
        XGetInputFocus(display, &window, &revert);
        return window;
    });
    return focus;
}

BatchOutcome X11EventPoster::postBatchInto(FocusWindow window, const std::vector<SyntheticKey>& events)
{
    if (!std::ranges::all_of(events, &SyntheticKey::marked))
        return EventPoster::postBatchInto(window, events);
    std::lock_guard lock(m_mutex);
    std::vector<SyntheticKey> batch;
    if (m_pendingDown)
        batch.push_back(*std::exchange(m_pendingDown, std::nullopt));
    batch.insert(batch.end(), events.begin(), events.end());
    const bool all = postMarked(batch, window);
    if (m_focusLeft)
        return BatchOutcome::focusLeft;
    return all ? BatchOutcome::posted : BatchOutcome::partly;
}

bool X11EventPoster::focusStillIn(FocusWindow window)
{
    return m_keyboard->with([&](Display* display) { return focusStillInLocked(display, window); });
}

// A toolkit may give the focus to a window inside its top-level window (a focus proxy): the
// top-level window is what says which window the keys go to. The window the word was typed in
// being destroyed, its top-level window is gone too.
bool X11EventPoster::focusStillInLocked(Display* display, FocusWindow window)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == window)
        return true;
    if (focus == None || focus == PointerRoot || window == None || window == PointerRoot)
        return false;
    const Window was = topLevel(display, static_cast<Window>(window));
    return was != None && was == topLevel(display, focus);
}

// The keys of events are worked out with the server grabbed, so that what they read of the
// keyboard (the keys down, the modifiers) is still so when they go out. A spare given a new
// character is not pressed at once: Qt reads the new keymap only once the server is free again,
// and would type the spare's old character; the keys are worked out again after a pause. An
// event whose keys cannot be made is left out; its key-up then finds nothing pressed. A spare
// pressed earlier in the batch that is given another character would type the new one there
// too: the batch goes in two, before that event and from it, a pause apart.
bool X11EventPoster::postMarked(const std::vector<SyntheticKey>& events, std::optional<FocusWindow> into)
{
    m_focusLeft = false;
    std::set<unsigned> chordMasks;
    for (const auto& event : events)
        if (event.down)
            chordMasks.insert(chordModifiers(event));
    unsigned chord = 0;
    for (const unsigned mask : chordMasks)
        chord |= awaitChordRelease(mask);
    awaitHeldKeys(events);
    if (lendAhead(events))
        std::this_thread::sleep_for(spareSettle);
    for (int attempt = 1;; ++attempt) {
        const auto pressedKeys = m_pressedKeys;
        const auto pressedText = m_pressedText;
        bool spareChanged = false;
        bool skipped = false;
        std::size_t splitAt = 0;
        const bool posted = m_keyboard->with([&](Display* display) {
            return m_keyboard->fakeLocked(display, [&](Display* display) -> std::optional<FakeKeys> {
                // With the server grabbed the focus stays where it is until our keys are in.
                if (into && !focusStillInLocked(display, *into)) {
                    m_focusLeft = true;
                    return std::nullopt;
                }
                refreshIfChanged(display);
                const std::uint64_t changes = m_spares.changes();
                std::set<unsigned> sparesPressed;
                FakeKeys keys;
                for (std::size_t index = 0; index < events.size(); ++index) {
                    const std::uint64_t before = m_spares.changes();
                    const auto more = keysFor(display, events[index]);
                    if (!more) {
                        skipped = true;
                        continue;
                    }
                    for (const auto& key : *more) {
                        if (!key.down || !m_spares.contains(key.keycode))
                            continue;
                        if (m_spares.changes() != before && sparesPressed.contains(key.keycode)) {
                            splitAt = index;
                            return std::nullopt;
                        }
                        sparesPressed.insert(key.keycode);
                    }
                    keys.insert(keys.end(), more->begin(), more->end());
                }
                if (m_spares.changes() != changes && attempt < spareSettleAttempts) {
                    spareChanged = true;
                    return std::nullopt;
                }
                if (skipped && keys.empty())
                    return std::nullopt;
                if (chord != 0)
                    keys = clearedOfHeldModifiers(display, chord, std::move(keys));
                return keys;
            });
        });
        if (m_focusLeft || (!spareChanged && splitAt == 0))
            return posted && !skipped;
        m_pressedKeys = pressedKeys;
        m_pressedText = pressedText;
        if (splitAt > 0) {
            const auto middle = events.begin() + static_cast<std::ptrdiff_t>(splitAt);
            const bool first = postMarked({events.begin(), middle}, into);
            if (m_focusLeft)
                return false;
            // The rest gives the spares of the first part new characters: the applications
            // must be done with the first part's keys before the keymap changes under them.
            std::this_thread::sleep_for(spareSettle);
            return postMarked({middle, events.end()}, into) && first;
        }
        std::this_thread::sleep_for(spareSettle);
    }
}

// The modifiers other than those event asks for that would make our key a chord: a letter under
// Ctrl+Alt is a shortcut, a Backspace under Ctrl deletes a word. The user's Shift and AltGr are
// not among them: they only change what a key types, and a spare keycode types the same
// whatever they are.
unsigned X11EventPoster::chordModifiers(const SyntheticKey& event) const
{
    unsigned wanted = 0;
    if (event.text.empty())
        for (const auto keysym : modifierKeysymsForFlags(event.flags))
            wanted |= modifierBit(keysym);
    return (m_roles.ctrl | m_roles.alt | m_roles.super) & ~wanted;
}

unsigned X11EventPoster::heldModifiers(Display* display, unsigned mask) const
{
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return 0;
    return state.base_mods & mask;
}

// Right after a hot key the user usually still holds its Ctrl and Alt: what we post waits a
// moment for them to be let go, since letting go of them for the user can mean something of its
// own (a lone Alt opens some menus). The chord modifiers still held in the end.
unsigned X11EventPoster::awaitChordRelease(unsigned mask)
{
    const auto deadline = std::chrono::steady_clock::now() + modifierReleaseWait;
    for (;;) {
        const unsigned held = m_keyboard->with([&](Display* display) {
            refreshIfChanged(display);
            return heldModifiers(display, mask);
        });
        if (held == 0 || std::chrono::steady_clock::now() >= deadline)
            return held;
        std::this_thread::sleep_for(modifierPoll);
    }
}

// Waits out, for a moment, what the user holds down that would make events give a spare a new
// character. Only while the keyboard is held: the keys the user types meanwhile then come after
// ours; otherwise they would reach the application first. Once a hold outlasted the wait, the
// posts that follow do not wait again until the keys down then are let go.
void X11EventPoster::awaitHeldKeys(const std::vector<SyntheticKey>& events)
{
    if (!m_keyboard->holding())
        return;
    const auto deadline = std::chrono::steady_clock::now() + heldKeyWait;
    for (;;) {
        const auto [lends, down] = m_keyboard->with([&](Display* display) {
            refreshIfChanged(display);
            const KeysDown down(display);
            // Nothing held, nothing to wait for: the common case costs one round trip.
            return std::pair{!down.empty() && lendsNewCharacter(display, events), down};
        });
        if (m_outwaited && !m_outwaited->intersects(down))
            m_outwaited.reset();
        if (!lends || m_outwaited)
            return;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_outwaited = down;
            return;
        }
        std::this_thread::sleep_for(heldKeyPoll);
    }
}

// Works out the keys of events as posting them now would, without posting or lending anything.
bool X11EventPoster::lendsNewCharacter(Display* display, const std::vector<SyntheticKey>& events)
{
    const auto pressedKeys = m_pressedKeys;
    const auto pressedText = m_pressedText;
    m_probe = Probe{.active = true, .lends = false, .keysyms = {}};
    for (const auto& event : events)
        keysFor(display, event);
    const bool lends = m_probe.lends;
    m_probe.active = false;
    m_pressedKeys = pressedKeys;
    m_pressedText = pressedText;
    return lends;
}

// Lent one by one inside the batch's grab, n new characters would cost every client n keymap
// reloads. A batch that needs more characters than there are spares is left to lend as it goes.
bool X11EventPoster::lendAhead(const std::vector<SyntheticKey>& events)
{
    return m_keyboard->with([&](Display* display) {
        refreshIfChanged(display);
        if (!lendsNewCharacter(display, events))
            return false;
        const std::uint64_t before = m_spares.changes();
        m_spares.lendAll(display, m_probe.keysyms);
        return m_spares.changes() != before;
    });
}

std::optional<unsigned> X11EventPoster::spareFor(Display* display, std::uint32_t keysym)
{
    if (!m_probe.active)
        return m_spares.lend(display, keysym);
    m_probe.lends = m_probe.lends || !m_spares.holds(keysym);
    m_probe.keysyms.insert(keysym);
    return m_spares.candidate(keysym);
}

// The chord modifiers still held are let go around our keys and pressed again after them, so
// that the server's state is the user's again. Read with the server grabbed: a key the user lets
// go of meanwhile is not pressed again for them.
FakeKeys X11EventPoster::clearedOfHeldModifiers(Display* display, unsigned modifiers, FakeKeys keys)
{
    if (!m_keymap)
        return keys;
    const KeysDown down(display);
    std::vector<unsigned> held;
    for (int keycode = m_keymap->min_key_code; keycode <= m_keymap->max_key_code; ++keycode)
        if (down.contains(static_cast<unsigned>(keycode)) && (m_keymap->map->modmap[keycode] & modifiers))
            held.push_back(static_cast<unsigned>(keycode));
    FakeKeys cleared;
    for (const unsigned keycode : held)
        press(cleared, keycode, false);
    cleared.insert(cleared.end(), keys.begin(), keys.end());
    for (const unsigned keycode : held)
        press(cleared, keycode, true);
    return cleared;
}

bool X11EventPoster::canType(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    return m_keyboard->with([&](Display* display) {
        refreshIfChanged(display);
        // Each character no key types needs a spare of its own while the text is typed.
        std::set<std::uint32_t> lent;
        const KeysDown down(display);
        for (const char32_t scalar : text::toScalars(text)) {
            const auto keysym = keysymForScalar(scalar);
            if (!keysym) {
                Log::line("x11: no keysym for character " + std::to_string(static_cast<std::uint32_t>(scalar)));
                return false;
            }
            if (!typingKey(display, *keysym, down) && !m_spares.holds(*keysym))
                lent.insert(*keysym);
        }
        if (lent.size() <= m_spares.size())
            return true;
        Log::line("x11: " + std::to_string(lent.size()) + " characters need spare keycodes, " +
                  std::to_string(m_spares.size()) + " are free");
        return false;
    });
}

std::optional<FakeKeys> X11EventPoster::keysFor(Display* display, const SyntheticKey& event)
{
    FakeKeys keys;
    if (event.text.empty()) {
        if (!event.down) {
            // Only a press that went out gets its release: a release of our own would let go of
            // the user's key.
            const auto pressed = m_pressedKeys.find(event.code);
            if (pressed == m_pressedKeys.end())
                return keys;
            press(keys, pressed->second.keycode, false);
            for (auto modifier = pressed->second.modifiers.rbegin(); modifier != pressed->second.modifiers.rend();
                 ++modifier)
                press(keys, *modifier, false);
            m_pressedKeys.erase(pressed);
            return keys;
        }
        const auto keycode = keycodeFromVirtualKey(event.code);
        if (!keycode)
            return std::nullopt;
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        const KeysDown down(display);
        // A modifier the user holds is not pressed again: releasing ours would release the user's
        // too, as far as the server's state goes.
        const unsigned held = state.base_mods | state.latched_mods;
        std::vector<unsigned> modifiers;
        unsigned added = 0;
        for (const auto keysym : modifierKeysymsForFlags(event.flags)) {
            const ::KeyCode modifier = XKeysymToKeycode(display, keysym);
            if (modifier == 0)
                return std::nullopt;
            const unsigned bit = modifierBit(keysym);
            if ((held & bit) == 0 && !down.contains(modifier)) {
                modifiers.push_back(modifier);
                added |= bit;
            }
        }
        // The key types what it typed for the user: with the Shift, AltGr and Caps Lock of the
        // flags, in the layout the user typed it in, latched for the press when another one is
        // selected now. When the state now (the user's own Shift or AltGr) would type something
        // else, or the user holds this very key down (the server would drop our press), a spare
        // key types it.
        const unsigned levels = m_roles.shift | m_roles.capsLock | m_roles.level3;
        const unsigned now = state.mods | added;
        const unsigned group = event.sourceHandle >= 0 ? static_cast<unsigned>(event.sourceHandle) : state.group;
        const auto wanted = typedKeysym(*keycode, levelState(event.flags) & levels, group);
        if (down.contains(*keycode) || wanted != typedKeysym(*keycode, now & levels, group)) {
            if (!wanted || isModifierKeysym(*wanted))
                return std::nullopt;
            const auto spare = spareFor(display, *wanted);
            if (!spare)
                return std::nullopt;
            press(keys, *spare, true);
            m_pressedKeys[event.code] = {*spare, {}};
            return keys;
        }
        for (const auto modifier : modifiers)
            press(keys, modifier, true);
        keys.push_back({*keycode, true, static_cast<int>(group) - static_cast<int>(state.group)});
        m_pressedKeys[event.code] = {*keycode, std::move(modifiers)};
        return keys;
    }

    if (!event.down) {
        const auto pressed = m_pressedText.find(event.text);
        if (pressed == m_pressedText.end())
            return keys;
        press(keys, pressed->second.keycode, false);
        m_pressedText.erase(pressed);
        return keys;
    }
    const auto scalars = text::toScalars(event.text);
    const KeysDown down(display);
    std::vector<Stroke> strokes;
    for (const char32_t scalar : scalars) {
        const auto keysym = keysymForScalar(scalar);
        const auto stroke = keysym ? strokeForKeysym(display, *keysym, down) : std::nullopt;
        if (!stroke)
            return std::nullopt;
        strokes.push_back(*stroke);
    }
    if (strokes.empty())
        return std::nullopt;
    const ::KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    // Every scalar but the last is a whole tap; the last one's key stays down until the key-up.
    for (std::size_t index = 0; index < strokes.size(); ++index) {
        const auto& stroke = strokes[index];
        if (stroke.shift)
            press(keys, shift, true);
        keys.push_back({stroke.keycode, true, stroke.groupLatch});
        if (index + 1 < strokes.size())
            press(keys, stroke.keycode, false);
        if (stroke.shift)
            press(keys, shift, false);
    }
    m_pressedText[event.text] = strokes.back();
    return keys;
}

unsigned X11EventPoster::levelState(std::uint64_t flags) const
{
    unsigned state = 0;
    if (flags & EventFlags::shift)
        state |= m_roles.shift;
    if (flags & EventFlags::capsLock)
        state |= m_roles.capsLock;
    if (flags & EventFlags::option)
        state |= m_roles.level3;
    return state;
}

std::optional<std::uint32_t> X11EventPoster::typedKeysym(unsigned keycode, unsigned state, unsigned group) const
{
    if (!m_keymap)
        return std::nullopt;
    unsigned consumed = 0;
    KeySym typed = NoSymbol;
    const unsigned modifiers = XkbBuildCoreState(state, group);
    if (!XkbTranslateKeyCode(m_keymap.get(), static_cast<::KeyCode>(keycode), modifiers, &consumed, &typed) ||
        typed == NoSymbol)
        return std::nullopt;
    return static_cast<std::uint32_t>(typed);
}

unsigned X11EventPoster::modifierBit(std::uint32_t keysym) const
{
    switch (keysym) {
    case XK_Control_L:
        return m_roles.ctrl;
    case XK_Shift_L:
        return m_roles.shift;
    case XK_Alt_L:
        return m_roles.alt;
    case XK_ISO_Level3_Shift:
        return m_roles.level3;
    default:
        return 0;
    }
}

std::optional<X11EventPoster::Stroke> X11EventPoster::strokeForKeysym(Display* display, std::uint32_t keysym,
                                                                      const KeysDown& down)
{
    if (const auto stroke = typingKey(display, keysym, down))
        return stroke;
    if (const auto spare = spareFor(display, keysym))
        return Stroke{*spare, false};
    if (!m_probe.active)
        Log::line("x11: no key can type keysym " + std::to_string(keysym));
    return std::nullopt;
}

// The key that types the character of keysym under the Shift and AltGr the user holds and the
// locks that are on (Caps Lock changes what Shift does), with our own Shift added when the user
// holds none, and that the user is not holding down: of the current group, else of another one
// (the user may have selected a layout again since the text was planned). We never let go of the
// user's keys: what no key types under them is left to a spare.
std::optional<X11EventPoster::Stroke> X11EventPoster::typingKey(Display* display, std::uint32_t keysym,
                                                                const KeysDown& down)
{
    if (!m_keymap)
        return std::nullopt;
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    const unsigned held = (state.base_mods | state.latched_mods) & (m_roles.shift | m_roles.level3);
    const unsigned locks = state.locked_mods & (LockMask | m_roles.numLock);
    std::vector<unsigned> groups{state.group};
    for (unsigned group = 0; group < m_groups; ++group)
        if (group != state.group)
            groups.push_back(group);
    for (const unsigned group : groups) {
        for (int keycode = m_keymap->min_key_code; keycode <= m_keymap->max_key_code; ++keycode) {
            if (m_spares.contains(static_cast<unsigned>(keycode)) || down.contains(static_cast<unsigned>(keycode)))
                continue;
            for (const bool shift : {false, true}) {
                if (shift && (held & m_roles.shift))
                    continue;
                unsigned consumed = 0;
                KeySym typed = NoSymbol;
                const unsigned modifiers = XkbBuildCoreState((shift ? m_roles.shift : 0) | held | locks, group);
                if (XkbTranslateKeyCode(m_keymap.get(), static_cast<::KeyCode>(keycode), modifiers, &consumed,
                                        &typed) &&
                    typed != NoSymbol && typesSameCharacter(static_cast<std::uint32_t>(typed), keysym))
                    return Stroke{static_cast<unsigned>(keycode), shift,
                                  static_cast<int>(group) - static_cast<int>(state.group)};
            }
        }
    }
    return std::nullopt;
}

void X11EventPoster::refreshKeymap(Display* display)
{
    m_generation = m_keyboard->keymapGeneration();
    m_keymap.reset(XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd));
    m_roles = X11Keyboard::modifierRolesLocked(display);
    m_groups = 1;
    if (m_keymap)
        for (int keycode = m_keymap->min_key_code; keycode <= m_keymap->max_key_code; ++keycode)
            m_groups = std::max(m_groups, static_cast<unsigned>(XkbKeyNumGroups(m_keymap.get(), keycode)));
    m_spares.refresh(display);
}

}  // namespace kx::platform::x11
