#pragma once
// The dead keys of a keyboard layout, by the combining accent each one puts on the next letter, so
// the typist can type a Greek vowel with its tonos the way a Greek user does: the accent key, then
// the vowel. The program's key tables leave dead keys out, as they type nothing of their own.

#include "platform/KeyStroke.h"

#include <map>
#include <string>

namespace kx::bench {

/// Combining accent → the key stroke (no modifier or Shift) of the dead key that adds it; empty when
/// the layout has no such keys or xkb-data does not know it.
std::map<char32_t, KeyStroke> deadKeysOf(const std::string& layout);

}  // namespace kx::bench
