#include "platform/x11/X11EventPoster.h"

#include "engine/KeyStroke.h"
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

namespace kx::platform::x11 {

namespace {

using FakeKeys = std::vector<X11Keyboard::FakeKey>;

void press(FakeKeys& keys, unsigned keycode, bool down)
{
    keys.push_back({keycode, down});
}

bool isModifierKeysym(std::uint32_t keysym)
{
    return IsModifierKey(keysym);
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

X11EventPoster::X11EventPoster(std::shared_ptr<X11Keyboard> keyboard) : m_keyboard(std::move(keyboard)) {}

X11EventPoster::~X11EventPoster()
{
    std::lock_guard lock(m_mutex);
    m_keyboard->with([this](Display* display) {
        XErrorTrap trap(display);
        for (const auto& spare : m_spares) {
            if (spare.keysym == 0)
                continue;
            KeySym empty[2] = {NoSymbol, NoSymbol};
            XChangeKeyboardMapping(display, static_cast<int>(spare.keycode), 2, empty, 1);
        }
        trap.takeError();
    });
}

bool X11EventPoster::post(const SyntheticKey& event)
{
    std::lock_guard lock(m_mutex);
    std::optional<FakeKeys> keys = m_keyboard->with([&](Display* display) -> std::optional<FakeKeys> {
        m_keyboard->drainLocked(display);
        if (m_generation != m_keyboard->keymapGeneration())
            refreshKeymap(display);
        auto keys = keysFor(display, event);
        if (keys && event.marked)
            m_keyboard->fakeLocked(display, *keys);
        return keys;
    });
    if (!keys)
        return false;
    if (event.marked)
        return true;
    if (!m_unmarked)
        m_unmarked = openDisplay();
    if (!m_unmarked)
        return false;
    for (const auto& key : *keys)
        XTestFakeKeyEvent(m_unmarked.get(), key.keycode, key.down ? True : False, CurrentTime);
    XSync(m_unmarked.get(), False);
    return true;
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
        // flags, whatever the user holds now. When the state now would type something else, or the
        // user holds this very key down (the server would drop our press), a spare key types it.
        const unsigned levels = m_roles.shift | m_roles.capsLock | m_roles.level3;
        const auto wanted = typedKeysym(*keycode, levelState(event.flags) & levels, state.group);
        const auto now = typedKeysym(*keycode, (state.mods | added) & levels, state.group);
        if (down.contains(*keycode) || wanted != now) {
            if (!wanted || isModifierKeysym(*wanted))
                return std::nullopt;
            const auto spare = spareFor(display, *wanted, down);
            if (!spare)
                return std::nullopt;
            press(keys, *spare, true);
            m_pressedKeys[event.code] = {*spare, {}};
            return keys;
        }
        for (const auto modifier : modifiers)
            press(keys, modifier, true);
        press(keys, *keycode, true);
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
        press(keys, stroke.keycode, true);
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
    if (const auto spare = spareFor(display, keysym, down))
        return Stroke{*spare, false};
    Log::line("x11: no key can type keysym " + std::to_string(keysym));
    return std::nullopt;
}

// The key of the current layout that types keysym with at most Shift, when no modifier or lock is
// on (Caps Lock or a held Shift would change what it types) and the user is not holding it down.
std::optional<X11EventPoster::Stroke> X11EventPoster::typingKey(Display* display, std::uint32_t keysym,
                                                                const KeysDown& down)
{
    if (!m_keymap)
        return std::nullopt;
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success || (state.mods & ~m_roles.numLock) != 0)
        return std::nullopt;
    for (int keycode = m_keymap->min_key_code; keycode <= m_keymap->max_key_code; ++keycode) {
        const bool spare = std::any_of(m_spares.begin(), m_spares.end(),
                                       [&](const Spare& s) { return s.keycode == static_cast<unsigned>(keycode); });
        if (spare || down.contains(static_cast<unsigned>(keycode)))
            continue;
        for (const bool shift : {false, true}) {
            unsigned consumed = 0;
            KeySym typed = NoSymbol;
            const unsigned modifiers =
                XkbBuildCoreState((shift ? ShiftMask : 0) | (state.mods & m_roles.numLock), state.group);
            if (XkbTranslateKeyCode(m_keymap.get(), static_cast<::KeyCode>(keycode), modifiers, &consumed, &typed) &&
                typed == keysym)
                return Stroke{static_cast<unsigned>(keycode), shift};
        }
    }
    return std::nullopt;
}

std::optional<unsigned> X11EventPoster::spareFor(Display* display, std::uint32_t keysym, const KeysDown& down)
{
    const auto free = [&](const Spare& s) { return !down.contains(s.keycode); };
    auto chosen =
        std::find_if(m_spares.begin(), m_spares.end(), [&](const Spare& s) { return s.keysym == keysym && free(s); });
    if (chosen == m_spares.end()) {
        chosen = m_spares.end();
        for (auto spare = m_spares.begin(); spare != m_spares.end(); ++spare)
            if (free(*spare) && (chosen == m_spares.end() || spare->lastUse < chosen->lastUse))
                chosen = spare;
        if (chosen == m_spares.end())
            return std::nullopt;
        KeySym keysyms[2] = {keysym, keysym};
        XErrorTrap trap(display);
        XChangeKeyboardMapping(display, static_cast<int>(chosen->keycode), 2, keysyms, 1);
        if (const int error = trap.takeError()) {
            Log::line("x11: cannot give keycode " + std::to_string(chosen->keycode) + " a symbol (error " +
                      std::to_string(error) + ")");
            return std::nullopt;
        }
        chosen->keysym = keysym;
    }
    chosen->lastUse = ++m_uses;
    return chosen->keycode;
}

void X11EventPoster::refreshKeymap(Display* display)
{
    m_generation = m_keyboard->keymapGeneration();
    m_keymap.reset(XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd));
    m_roles = X11Keyboard::modifierRolesLocked(display);

    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int width = 0;
    KeySym* mapping =
        XGetKeyboardMapping(display, static_cast<::KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &width);
    if (!mapping)
        return;
    // A keymap loaded since then has emptied our spares or given them real keys: keep only the
    // ones still empty or still holding what we gave them.
    std::vector<Spare> spares;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        const KeySym* keysyms = mapping + static_cast<std::ptrdiff_t>(keycode - minKeycode) * width;
        const bool empty = std::all_of(keysyms, keysyms + width, [](KeySym k) { return k == NoSymbol; });
        const auto ours = std::find_if(m_spares.begin(), m_spares.end(), [&](const Spare& s) {
            return s.keycode == static_cast<unsigned>(keycode) && s.keysym != 0 && s.keysym == keysyms[0];
        });
        if (ours != m_spares.end())
            spares.push_back(*ours);
        else if (empty)
            spares.push_back({static_cast<unsigned>(keycode), 0, 0});
    }
    XFree(mapping);
    m_spares = std::move(spares);
}

}  // namespace kx::platform::x11
