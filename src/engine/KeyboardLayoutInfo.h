#pragma once
// One enabled keyboard layout as the engine sees it. Two layouts are the same layout when their
// ids are equal.

#include "platform/InputSources.h"
#include "platform/KeyTable.h"

#include <string>
#include <vector>

namespace kx {

struct KeyboardLayoutInfo {
    std::string id;                      // "xkb:il", "xkb:us(dvorak)"; "?" when the source names none
    std::string localizedName;           // "Hebrew"
    std::vector<std::string> languages;  // "he"; in the registry's order
    platform::KeyTable layoutData;       // what each key types
    platform::InputSource source;        // what selects the layout

    /// The layout's language: the first of languages, or empty.
    std::string language() const { return languages.empty() ? std::string() : languages.front(); }
};

}  // namespace kx
