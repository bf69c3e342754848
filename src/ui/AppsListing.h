#pragma once
// What the Apps tab lists: one row per application that is installed or has run here. The policy
// knows applications by every id they may go by (desktop-entry id, WM_CLASS in either case), and
// its always-off set names many that are not installed; the tab shows each application once, by
// its desktop entry's name and icon where it has one, and never Kestrelix itself. The policy keeps
// every id: a row's switch writes all of its application's ids.

#include "platform/DesktopEntries.h"
#include "stores/PolicyStore.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kx {

struct ListedApp {
    /// id: the first of ids; name: as shown; enabled only when every id is; hardDenied and
    /// usesClipboard when any id is.
    AppInfo app;
    /// Every id of the application that the policy knows, in the policy's order.
    std::vector<std::string> ids;
    /// The id to find the icon by: the desktop entry's, else app.id.
    std::string iconID;

    bool operator==(const ListedApp&) const = default;
};

class AppsListing {
public:
    using EntryLookup = std::function<std::optional<platform::DesktopEntry>(const std::string& appID)>;

    /// known: the policy's applications (knownApps()); ran: the ids that have run
    /// (appsThatRan()); entry: the desktop entry of an id. Sorted by name, ignoring case.
    static std::vector<ListedApp> build(const std::vector<AppInfo>& known, const std::set<std::string>& ran,
                                        const EntryLookup& entry);
    /// The entries of the installed applications, from the desktop's standard folders.
    static EntryLookup installedEntries();
};

}  // namespace kx
