#pragma once
// Icons of other applications by application id, 64 x 64, for the status menu's application row,
// the Apps tab and the history rows. Each id is looked up once and kept for the process's life,
// so an application installed later keeps the generic icon until the next start. Main thread only.

#include <QIcon>

#include <filesystem>
#include <string>
#include <vector>

namespace kx {

class AppIconCache {
public:
    static constexpr int iconSize = 64;

    /// The icon named by the application's desktop entry, else the generic application icon.
    /// Never null; the same icon for an id on every call.
    static QIcon icon(const std::string& appID);
    /// The same, looking the desktop entry up in folders ("applications" folders, most important
    /// first), without the cache.
    static QIcon lookUp(const std::string& appID, const std::vector<std::filesystem::path>& folders);
    /// The Icon key of a desktop entry's main group; empty when it has none.
    static std::string iconName(const std::string& desktopEntry);
};

}  // namespace kx
