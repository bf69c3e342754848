#pragma once
// The resource folder: the word lists (freq-<lang>.txt) and the two images. In the build tree it
// is "resources" beside the executable; an installed program finds it in <prefix>/share/kestrelix.

#include <filesystem>
#include <optional>

namespace kx {

class ResourceFolder {
public:
    /// The resource folder of this process: find(the running executable, the install folder),
    /// the install folder being share/kestrelix under the prefix of an executable in a bin
    /// folder when it exists, else KX_INSTALL_RESOURCE_DIR. Looks at the disk on every call, so
    /// callers keep the answer.
    /// std::nullopt when there is none.
    static std::optional<std::filesystem::path> find();

    /// The first of these candidates that is an existing folder (symbolic links followed):
    ///   1. "resources" in the folder that holds `executable` (the build tree);
    ///   2. `installDir`.
    /// A candidate counts by existing, not by what it holds: a folder that lacks a list makes
    /// that list missing (the spell checker answers for its language, the resource check names
    /// it) rather than silently using an older installed copy. An empty argument is no candidate.
    /// std::nullopt when neither exists.
    static std::optional<std::filesystem::path> find(const std::filesystem::path& executable,
                                                     const std::filesystem::path& installDir);
};

}  // namespace kx
