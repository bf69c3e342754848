#pragma once

#include <cstdint>

namespace kx {

/// The modifier state the key translator takes: Shift 2, Caps Lock 4, Option 8, summed. Every
/// other flag (Control, Command, Function, device bits) is ignored.
std::uint32_t carbonModifierState(std::uint64_t flags);

}  // namespace kx
