#include "platform/x11/SpareKeycodes.h"

#include "platform/Log.h"
#include "platform/x11/XErrors.h"

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
    if (chosen->keysym != keysym) {
        KeySym keysyms[2] = {keysym, keysym};
        XErrorTrap trap(display);
        XChangeKeyboardMapping(display, static_cast<int>(chosen->keycode), 2, keysyms, 1);
        if (const int error = trap.takeError()) {
            Log::line("x11: cannot give keycode " + std::to_string(chosen->keycode) + " a symbol (error " +
                      std::to_string(error) + ")");
            return std::nullopt;
        }
        ++m_changes;
        const bool wasEmpty = chosen->keysym == 0;
        chosen->keysym = keysym;
        if (wasEmpty)
            markLent(display);
    }
    chosen->lastUse = ++m_uses;
    return chosen->keycode;
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
    XErrorTrap trap(display);
    for (auto& spare : m_spares) {
        if (spare.keysym == 0)
            continue;
        KeySym empty[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(display, static_cast<int>(spare.keycode), 2, empty, 1);
        spare.keysym = 0;
    }
    XDeleteProperty(display, DefaultRootWindow(display), lentAtom(display));
    if (const int error = trap.takeError())
        Log::line("x11: spare keycodes not all given back (error " + std::to_string(error) + ")");
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
