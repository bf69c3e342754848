#pragma once
// The source tree's resource folder, where every benchmark reads its word lists.

#include "engine/FrequencyOracle.h"

#include <filesystem>

namespace kx::bench {

/// The folder; on first use it also becomes the process's resource bundle, so models built on
/// demand read the same lists.
inline const std::filesystem::path& resources()
{
    static const std::filesystem::path folder = [] {
        FrequencyOracle::setResourceBundle(KX_SOURCE_RESOURCE_DIR);
        return std::filesystem::path(KX_SOURCE_RESOURCE_DIR);
    }();
    return folder;
}

}  // namespace kx::bench
