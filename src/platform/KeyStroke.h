#pragma once
// A physical key press as the program keeps it: the macOS virtual key code and the CGEventFlags
// modifier bits of the key-down. The X11 backend maps its keys and modifiers onto these.

#include <cstdint>

namespace kx {

/// CGEventFlags bits.
namespace EventFlags {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
}  // namespace EventFlags

/// macOS virtual key codes with a role of their own.
namespace KeyCode {
inline constexpr std::uint16_t return_ = 36;
inline constexpr std::uint16_t tab = 48;
inline constexpr std::uint16_t space = 49;
inline constexpr std::uint16_t delete_ = 51;
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t enter = 76;
inline constexpr std::uint16_t home = 115;
inline constexpr std::uint16_t pageUp = 116;
inline constexpr std::uint16_t forwardDelete = 117;
inline constexpr std::uint16_t end = 119;
inline constexpr std::uint16_t pageDown = 121;
inline constexpr std::uint16_t left = 123;
inline constexpr std::uint16_t right = 124;
inline constexpr std::uint16_t down = 125;
inline constexpr std::uint16_t up = 126;
}  // namespace KeyCode

struct KeyStroke {
    std::uint16_t code = 0;
    std::uint64_t flags = 0;

    bool operator==(const KeyStroke&) const = default;
};

}  // namespace kx
