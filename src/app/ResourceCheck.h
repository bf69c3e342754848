#pragma once
// --check-resources: are the word lists for en, he and ar and the two images where the program
// looks for them?

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kx {

class ResourceCheck {
public:
    /// The missing names in order: freq-en.txt, freq-he.txt, freq-ar.txt, kestrelix_logo.png,
    /// kestrelix_mono.png. An image counts only when it decodes as a PNG.
    static std::vector<std::string> missing(const std::optional<std::filesystem::path>& folder);
    /// Prints "resources ok" or "MISSING: <names>" and returns the exit status (0 or 1).
    static int run();
};

}  // namespace kx
