#include "platform/x11/SpareKeycodes.h"

#include "platform/Log.h"
#include "platform/x11/XErrors.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <string>

namespace kx::platform::x11 {

namespace {

// The root window's list of keycodes we lent a character to (CARDINAL, 32 bits each).
constexpr const char* lentProperty = "_KESTRELIX_LENT_KEYCODES";

Atom lentAtom(Display* display)
{
    return XInternAtom(display, lentProperty, False);
}

}  // namespace

bool isLentMapping(std::span<const std::uint32_t> keysyms)
{
    return keysyms.size() >= 2 && keysyms[0] != NoSymbol && keysyms[1] == keysyms[0] &&
           std::all_of(keysyms.begin() + 2, keysyms.end(),
                       [&](std::uint32_t k) { return k == NoSymbol || k == keysyms[0]; });
}

void SpareKeycodes::refresh(Display* display)
{
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int width = 0;
    KeySym* mapping =
        XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &width);
    if (!mapping)
        return;
    const std::set<unsigned> lent = markedLent(display);
    // A keymap loaded since then has emptied our spares or given them real keys: keep only the
    // ones still empty or still holding a character of ours.
    std::vector<Spare> spares;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        const KeySym* row = mapping + static_cast<std::ptrdiff_t>(keycode - minKeycode) * width;
        std::vector<std::uint32_t> keysyms(row, row + width);
        const auto code = static_cast<unsigned>(keycode);
        const auto ours = std::find_if(m_spares.begin(), m_spares.end(), [&](const Spare& s) {
            return s.keycode == code && s.keysym != 0 && s.keysym == keysyms[0];
        });
        if (ours != m_spares.end())
            spares.push_back(*ours);
        else if (std::all_of(keysyms.begin(), keysyms.end(), [](std::uint32_t k) { return k == NoSymbol; }))
            spares.push_back({code, 0, 0});
        else if (lent.contains(code) && isLentMapping(keysyms))
            spares.push_back({code, keysyms[0], 0});
    }
    XFree(mapping);
    m_spares = std::move(spares);
}

std::size_t SpareKeycodes::chosenFor(std::uint32_t keysym) const
{
    auto chosen = std::find_if(m_spares.begin(), m_spares.end(), [&](const Spare& s) { return s.keysym == keysym; });
    if (chosen == m_spares.end())
        chosen = std::min_element(m_spares.begin(), m_spares.end(),
                                  [](const Spare& a, const Spare& b) { return a.lastUse < b.lastUse; });
    return static_cast<std::size_t>(chosen - m_spares.begin());
}

std::optional<unsigned> SpareKeycodes::candidate(std::uint32_t keysym) const
{
    if (m_spares.empty())
        return std::nullopt;
    return m_spares[chosenFor(keysym)].keycode;
}

std::optional<unsigned> SpareKeycodes::lend(Display* display, std::uint32_t keysym)
{
    if (m_spares.empty())
        return std::nullopt;
    Spare* chosen = &m_spares[chosenFor(keysym)];
    if (chosen->keysym != keysym && !assign(display, {{chosen, keysym}}))
        return std::nullopt;
    chosen->lastUse = ++m_uses;
    return chosen->keycode;
}

bool SpareKeycodes::lendAll(Display* display, const std::set<std::uint32_t>& keysyms)
{
    if (keysyms.size() > m_spares.size())
        return false;
    std::vector<Spare*> free;
    for (auto& spare : m_spares)
        if (!keysyms.contains(spare.keysym))
            free.push_back(&spare);
    std::ranges::sort(free, [](const Spare* a, const Spare* b) { return a->lastUse < b->lastUse; });
    std::vector<std::pair<Spare*, std::uint32_t>> given;
    for (const std::uint32_t keysym : keysyms)
        if (!holds(keysym))
            given.emplace_back(free[given.size()], keysym);
    if (!given.empty() && !assign(display, given))
        return false;
    for (auto& spare : m_spares)
        if (keysyms.contains(spare.keysym))
            spare.lastUse = ++m_uses;
    return true;
}

// One spare goes by the core request, which the server announces once. Several go by one XKB
// request over the keycodes from the first to the last: it can send the real keys between them
// back exactly as they are (their groups and key types), where a core mapping would make the
// server guess those again. The server announces it twice (for the keyboard and for the XTEST
// device), still fewer reloads than a change per spare.
bool SpareKeycodes::assign(Display* display, const std::vector<std::pair<Spare*, std::uint32_t>>& given)
{
    if (given.size() == 1) {
        XErrorTrap trap(display);
        KeySym keysyms[2] = {given.front().second, given.front().second};
        XChangeKeyboardMapping(display, static_cast<int>(given.front().first->keycode), 2, keysyms, 1);
        if (const int error = trap.takeError()) {
            Log::line("x11: cannot give keycode " + std::to_string(given.front().first->keycode) +
                      " a symbol (error " + std::to_string(error) + ")");
            return false;
        }
        noteAssigned(display, given);
        return true;
    }
    XkbDescPtr keymap = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!keymap) {
        Log::line("x11: cannot read the keymap to lend spare keycodes");
        return false;
    }
    unsigned first = 255;
    unsigned last = 0;
    for (const auto& [spare, keysym] : given) {
        first = std::min(first, spare->keycode);
        last = std::max(last, spare->keycode);
        // The character on both levels: the user's Shift does not change what a spare types.
        int twoLevel[XkbNumKbdGroups] = {XkbTwoLevelIndex};
        const auto keycode = static_cast<int>(spare->keycode);
        XkbChangeTypesOfKey(keymap, keycode, keysym == 0 ? 0 : 1, XkbGroup1Mask, twoLevel, nullptr);
        if (keysym != 0)
            std::fill_n(XkbKeySymsPtr(keymap, keycode), 2, keysym);
    }
    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = static_cast<KeyCode>(first);
    changes.num_key_syms = static_cast<unsigned char>(last - first + 1);
    XErrorTrap trap(display);
    XkbChangeMap(display, keymap, &changes);
    XkbFreeKeyboard(keymap, XkbAllComponentsMask, True);
    if (const int error = trap.takeError()) {
        Log::line("x11: cannot give " + std::to_string(given.size()) + " spare keycode(s) their symbols (error " +
                  std::to_string(error) + ")");
        return false;
    }
    noteAssigned(display, given);
    return true;
}

void SpareKeycodes::noteAssigned(Display* display, const std::vector<std::pair<Spare*, std::uint32_t>>& given)
{
    ++m_changes;
    bool lentChanged = false;
    for (const auto& [spare, keysym] : given) {
        lentChanged = lentChanged || (spare->keysym == 0) != (keysym == 0);
        spare->keysym = keysym;
    }
    if (lentChanged)
        markLent(display);
}

bool SpareKeycodes::holds(std::uint32_t keysym) const
{
    return std::any_of(m_spares.begin(), m_spares.end(), [&](const Spare& s) { return s.keysym == keysym; });
}

bool SpareKeycodes::contains(unsigned keycode) const
{
    return std::any_of(m_spares.begin(), m_spares.end(), [&](const Spare& s) { return s.keycode == keycode; });
}

void SpareKeycodes::giveBack(Display* display)
{
    std::vector<std::pair<Spare*, std::uint32_t>> given;
    for (auto& spare : m_spares)
        if (spare.keysym != 0)
            given.emplace_back(&spare, 0);
    if (!given.empty() && !assign(display, given))
        Log::line("x11: spare keycodes not given back");
    XDeleteProperty(display, DefaultRootWindow(display), lentAtom(display));
    XFlush(display);
}

std::set<unsigned> SpareKeycodes::markedLent(Display* display) const
{
    std::set<unsigned> keycodes;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), lentAtom(display), 0, 256, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success &&
        data && type == XA_CARDINAL && format == 32) {
        // Format 32 comes as longs, whatever their width.
        const auto* values = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            keycodes.insert(static_cast<unsigned>(values[i]));
    }
    if (data)
        XFree(data);
    return keycodes;
}

void SpareKeycodes::markLent(Display* display) const
{
    std::vector<long> keycodes;
    for (const auto& spare : m_spares)
        if (spare.keysym != 0)
            keycodes.push_back(static_cast<long>(spare.keycode));
    XChangeProperty(display, DefaultRootWindow(display), lentAtom(display), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(keycodes.data()), static_cast<int>(keycodes.size()));
}

}  // namespace kx::platform::x11
