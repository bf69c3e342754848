#pragma once
// The hot keys as the user reads them: Linux desktops spell a chord with its modifiers' names.

#include <string_view>

namespace kx {

/// Converts the selection, applies a suggestion, fixes the run just typed.
inline constexpr std::string_view convertHotKeyText = "Ctrl+Alt+K";

}  // namespace kx
