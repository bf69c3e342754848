#pragma once
// What xkb-data's registry says about a keyboard layout: its human name and its languages.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::platform {

struct LayoutDescription {
    std::string name;                    // "Hebrew", "English (Dvorak)"
    std::vector<std::string> languages;  // ISO 639 codes, two letters where such a code exists
};

class LayoutCatalog {
public:
    /// The registry's entry for the layout and variant (empty variant: the layout itself); none
    /// when the registry does not list it. The registry is read once per process. Any thread.
    static std::optional<LayoutDescription> describe(std::string_view layout, std::string_view variant);
};

}  // namespace kx::platform
