#include "ui/AppsListing.h"

#include <QCollator>
#include <QString>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>

namespace kx {

namespace {

std::string lowered(std::string text)
{
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool isKestrelix(const std::string& id)
{
    return lowered(id) == "kestrelix";
}

}  // namespace

std::vector<ListedApp> AppsListing::build(const std::vector<AppInfo>& known, const std::set<std::string>& ran,
                                          const EntryLookup& entry)
{
    struct Group {
        ListedApp listed;
        bool installed = false;
        bool hasRun = false;
    };
    std::vector<Group> groups;
    std::map<std::string, std::size_t> byKey;
    for (const AppInfo& app : known) {
        const std::optional<platform::DesktopEntry> found = entry ? entry(app.id) : std::nullopt;
        if (isKestrelix(app.id) || (found && isKestrelix(found->id)))
            continue;
        const std::string key = found ? "entry:" + found->id : "id:" + lowered(app.id);
        auto [at, added] = byKey.try_emplace(key, groups.size());
        if (added) {
            ListedApp listed{.app = app, .iconID = found ? found->id : app.id};
            if (found && !found->name.empty())
                listed.app.name = found->name;
            groups.push_back({std::move(listed), found.has_value(), false});
        }
        Group& group = groups[at->second];
        group.listed.ids.push_back(app.id);
        group.hasRun = group.hasRun || ran.contains(app.id);
        AppInfo& shown = group.listed.app;
        shown.hardDenied = shown.hardDenied || app.hardDenied;
        shown.usesClipboard = shown.usesClipboard || app.usesClipboard;
        shown.enabled = shown.enabled && app.enabled && !shown.hardDenied;
    }

    std::vector<ListedApp> listed;
    for (Group& group : groups)
        if (group.installed || group.hasRun)
            listed.push_back(std::move(group.listed));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::ranges::stable_sort(listed, [&](const ListedApp& a, const ListedApp& b) {
        return collator.compare(QString::fromStdString(a.app.name), QString::fromStdString(b.app.name)) < 0;
    });
    return listed;
}

AppsListing::EntryLookup AppsListing::installedEntries()
{
    static auto entries = std::make_shared<platform::DesktopEntries>(platform::DesktopEntries::standardFolders(),
                                                                     platform::DesktopEntries::currentLocale());
    return [](const std::string& appID) { return entries->find(appID); };
}

}  // namespace kx
