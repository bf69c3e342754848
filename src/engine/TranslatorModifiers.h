#pragma once
// The modifier bits of a key press reduced to those that choose what a key types.

#include <cstdint>

namespace kx {

/// The modifier state the key translator takes: Shift 2, Caps Lock 4, Option 8, summed. Every
/// other flag (Control, Command, Function, device bits) is ignored.
std::uint32_t translatorModifiers(std::uint64_t flags);

}  // namespace kx
