#pragma once
// macOS virtual key codes (the program's own key codes) against Linux evdev codes, by the key's
// physical position. An X keycode is the evdev code + 8.

#include <cstdint>
#include <optional>

namespace kx::platform {

class VirtualKeys {
public:
    /// The evdev code of the key in that position; none for a virtual code with no Linux key.
    static std::optional<std::uint32_t> evdevCode(std::uint16_t virtualKey);
    /// The reverse: none for an evdev key the program has no virtual code for.
    static std::optional<std::uint16_t> virtualKeyCode(std::uint32_t evdev);
};

}  // namespace kx::platform
