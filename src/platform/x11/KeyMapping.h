#pragma once
// Keys and modifiers at the edge between X and the program: an X key press becomes a key-down with
// a macOS virtual key code and CGEventFlags, and the flags of a key we post become the X modifier
// keys to hold. Pure functions: no server needed.
//
// Modifiers go by role: Shift is Shift, Caps Lock is Caps Lock, the level-3 shift (AltGr) is
// Option, Ctrl is Command (Ctrl+Z, Ctrl+C, Ctrl+V play ⌘Z, ⌘C, ⌘V), and Alt and Super are Control
// (shortcuts, never text). Ctrl+Alt+K and Ctrl+Alt+Z are the two hot keys, handed on as ⌥⌘K and ⌥⌘Z.

#include "platform/EventTap.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

namespace kx::platform::x11 {

/// The virtual key codes of K and Z: the hot keys' keys (Z also Ctrl+Z's).
inline constexpr std::uint16_t kKey = 40;
inline constexpr std::uint16_t zKey = 6;

/// One key of the server's modifier map and the keysyms its key carries (every group and level,
/// in the core mapping's order: group 1 level 1 first).
struct ModifierKey {
    unsigned keycode = 0;
    std::vector<std::uint32_t> keysyms;
};

/// The modifier map: for each of Shift, Lock, Control and Mod1-Mod5 (in that order) its keys.
using ModifierMap = std::array<std::vector<ModifierKey>, 8>;

/// Which X state bits play which role, found from the modifier map.
struct ModifierRoles {
    unsigned shift = 1u << 0;
    unsigned capsLock = 1u << 1;
    unsigned ctrl = 1u << 2;
    unsigned alt = 0;
    unsigned super = 0;
    unsigned level3 = 0;
    /// Not a flag; grabs must name it, or a chord would not match with NumLock on.
    unsigned numLock = 0;
    /// Keys that only change modifiers: they are never key-downs of their own.
    std::bitset<256> modifierKeys;

    bool operator==(const ModifierRoles&) const = default;
};

/// The roles of a modifier map. Without a map (empty) only Shift, Lock and Ctrl are known.
ModifierRoles rolesFromModifierMap(const ModifierMap& map);

/// The CGEventFlags of an X state (NumLock and the group are not flags).
std::uint64_t flagsFromState(unsigned state, const ModifierRoles& roles);

/// The key-down the tap hands on for an X key press; none for a modifier key and for a key the
/// program has no virtual key code for.
std::optional<TapEvent> keyDownFromX(unsigned keycode, unsigned state, const ModifierRoles& roles);

/// The mouse-down the tap hands on for an X button press (button 1 left, 3 right); none for the
/// middle button and the wheel.
std::optional<TapEvent> mouseDownFromX(unsigned button, int rootX, int rootY);

/// The X keycode of a virtual key code; none when the program knows no Linux key for it.
std::optional<unsigned> keycodeFromVirtualKey(std::uint16_t virtualKey);

/// The keysyms of the modifier keys to hold down while posting a key with flags, in pressing
/// order (Caps Lock is a lock, never pressed).
std::vector<std::uint32_t> modifierKeysymsForFlags(std::uint64_t flags);

/// The keysym that types one Unicode scalar: Latin-1 keysyms for Latin-1, the Unicode keysym range
/// otherwise, Return and Tab for line feed and tab; none for other control characters.
std::optional<std::uint32_t> keysymForScalar(char32_t scalar);

/// Whether a key that types keysym typed types the same character as wanted: the same keysym, or
/// two that xkbcommon gives one Unicode scalar (hebrew_shin and U+05E9, Return and the line
/// feed's Return).
bool typesSameCharacter(std::uint32_t typed, std::uint32_t wanted);

}  // namespace kx::platform::x11
