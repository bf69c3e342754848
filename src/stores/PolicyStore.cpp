#include "stores/PolicyStore.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>

#include <algorithm>
#include <memory>
#include <system_error>

namespace kx {

const std::set<std::string> PolicyStore::hardDeny = {
    // Terminals.
    "org.gnome.Terminal",
    "Gnome-terminal",
    "org.gnome.Console",
    "kgx",
    "org.kde.konsole",
    "konsole",
    "xterm",
    "XTerm",
    "debian-xterm",
    "UXTerm",
    "debian-uxterm",
    "kitty",
    "Alacritty",
    "org.wezfurlong.wezterm",
    "dev.warp.Warp",
    "com.gexperts.Tilix",
    "Tilix",
    "terminator",
    "Terminator",
    "xfce4-terminal",
    "Xfce4-terminal",
    "rxvt-unicode",
    "URxvt",
    "foot",
    "st",
    "St",
    "st-256color",
    "stterm",
    "lxterminal",
    "Lxterminal",
    "sakura",
    "Sakura",
    "mate-terminal",
    "Mate-terminal",
    "terminology",
    "Terminology",
    "qterminal",
    "QTerminal",
    "org.gnome.Ptyxis",
    "ptyxis",
    "Ptyxis",
    // Screen sharing and remote desktops.
    "org.remmina.Remmina",
    "Remmina",
    "org.gnome.Connections",
    "org.kde.krdc",
    "krdc",
    "vncviewer",
    "Vncviewer",
    "xfreerdp",
    "xfreerdp3",
};

const std::set<std::string> PolicyStore::clipboardApps = {
    "chromium",      "Chromium",      "chromium-browser", "Chromium-browser", "google-chrome", "Google-chrome",
    "brave-browser", "Brave-browser", "firefox",          "Firefox",          "firefox-esr",   "Firefox-esr",
};

namespace {

// Electron applications ship Chromium's .pak files beside their executable and keep their own
// code in resources/app.asar or resources/app.
bool isElectronExecutable(const std::filesystem::path& executable)
{
    const std::filesystem::path folder = executable.parent_path();
    std::error_code error;
    const bool appCode = std::filesystem::is_regular_file(folder / "resources" / "app.asar", error) ||
                         std::filesystem::is_directory(folder / "resources" / "app", error);
    if (!appCode)
        return false;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == ".pak")
            return true;
    }
    return false;
}

// The last non-empty part of an id split at ".", so "a.b.Mail" shows as "Mail".
std::string nameFromID(const std::string& id)
{
    std::size_t end = id.size();
    while (end > 0) {
        const std::size_t dot = id.rfind('.', end - 1);
        const std::size_t begin = dot == std::string::npos ? 0 : dot + 1;
        if (begin < end)
            return id.substr(begin, end - begin);
        if (dot == std::string::npos)
            break;
        end = dot;
    }
    return id;
}

}  // namespace

PolicyStore::PolicyStore(Defaults& defaults, platform::Workspace& workspace,
                         std::shared_ptr<platform::DesktopEntries> entries)
    : m_defaults(defaults),
      m_workspace(workspace),
      m_entries(entries ? std::move(entries)
                        : std::make_shared<platform::DesktopEntries>(platform::DesktopEntries::standardFolders(),
                                                                     platform::DesktopEntries::currentLocale()))
{}

StringDictionary PolicyStore::appNames() const
{
    return m_defaults.dictionary(namesKey).value_or(StringDictionary{});
}

std::set<std::string> PolicyStore::disabledList() const
{
    const StringArray stored = m_defaults.stringArray(disabledKey).value_or(StringArray{});
    return {stored.begin(), stored.end()};
}

bool PolicyStore::isAlwaysOff(const std::optional<std::string>& appID) const
{
    if (!appID || appID->empty())
        return false;
    if (hardDeny.contains(*appID))
        return true;
    const auto entry = m_entries->find(*appID);
    return entry && entry->terminal;
}

bool PolicyStore::isCorrectionAllowed(const std::optional<std::string>& appID) const
{
    if (!appID || appID->empty() || isAlwaysOff(appID))
        return false;
    return !disabledList().contains(*appID);
}

void PolicyStore::note(const std::optional<std::string>& appID, const std::optional<std::string>& name)
{
    if (!appID || appID->empty() || !name || name->empty())
        return;
    StringDictionary names = appNames();
    if (const auto found = names.find(*appID); found != names.end() && found->second == *name)
        return;
    names.insert_or_assign(*appID, *name);
    m_defaults.set(namesKey, std::move(names));
}

void PolicyStore::setEnabled(bool enabled, const std::string& appID)
{
    std::set<std::string> disabled = disabledList();
    if (enabled)
        disabled.erase(appID);
    else
        disabled.insert(appID);
    m_defaults.set(disabledKey, StringArray(disabled.begin(), disabled.end()));
}

bool PolicyStore::isElectron(const std::string& appID)
{
    if (const auto cached = m_electronCache.find(appID); cached != m_electronCache.end())
        return cached->second;
    bool electron = false;
    for (const platform::RunningApplication& app : m_workspace.runningApplications()) {
        if (app.id != appID)
            continue;
        electron = !app.executable.empty() && isElectronExecutable(app.executable);
        break;
    }
    m_electronCache.emplace(appID, electron);
    return electron;
}

bool PolicyStore::usesClipboard(const std::string& appID)
{
    return clipboardApps.contains(appID) || isElectron(appID);
}

std::set<std::string> PolicyStore::appsThatRan() const
{
    std::set<std::string> ran = disabledList();
    for (const auto& [id, name] : appNames())
        ran.insert(id);
    for (const platform::RunningApplication& app : m_workspace.runningApplications())
        ran.insert(app.id);
    return ran;
}

std::vector<AppInfo> PolicyStore::knownApps()
{
    const StringDictionary names = appNames();
    const std::set<std::string> disabled = disabledList();
    std::set<std::string> ids = hardDeny;
    ids.insert(disabled.begin(), disabled.end());
    for (const auto& [id, name] : names)
        ids.insert(id);

    const std::vector<platform::RunningApplication> running = m_workspace.runningApplications();
    std::vector<AppInfo> apps;
    for (const std::string& id : ids) {
        AppInfo app;
        app.id = id;
        if (const auto found = names.find(id); found != names.end()) {
            app.name = found->second;
        } else {
            const auto first = std::find_if(running.begin(), running.end(),
                                            [&](const platform::RunningApplication& r) { return r.id == id; });
            app.name = first != running.end() && !first->name.empty() ? first->name : nameFromID(id);
        }
        app.hardDenied = isAlwaysOff(id);
        app.enabled = !app.hardDenied && !disabled.contains(id);
        app.usesClipboard = usesClipboard(id);
        apps.push_back(std::move(app));
    }

    // Secondary strength: letters and accents count, case does not. A C or POSIX environment maps
    // to ICU's en_US_POSIX, which orders by code point; the root order suits such users better.
    icu::Locale locale = icu::Locale::getDefault();
    if (std::string_view(locale.getName()) == "en_US_POSIX")
        locale = icu::Locale::getRoot();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status) || !collator) {
        std::stable_sort(apps.begin(), apps.end(), [](const AppInfo& a, const AppInfo& b) { return a.name < b.name; });
        return apps;
    }
    collator->setStrength(icu::Collator::SECONDARY);
    std::stable_sort(apps.begin(), apps.end(), [&](const AppInfo& a, const AppInfo& b) {
        UErrorCode compareStatus = U_ZERO_ERROR;
        return collator->compareUTF8(a.name, b.name, compareStatus) == UCOL_LESS;
    });
    return apps;
}

}  // namespace kx
