#pragma once
// Where corrections may happen and how text is typed there: the always-off applications, the
// user's disabled list, the applications that get their text pasted, and the names of the
// applications seen in front.

#include "platform/Defaults.h"
#include "platform/DesktopEntries.h"
#include "platform/Workspace.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kx {

struct AppInfo {
    std::string id;
    std::string name;
    bool enabled = true;
    bool hardDenied = false;
    bool usesClipboard = false;

    bool operator==(const AppInfo&) const = default;
};

class PolicyStore {
public:
    static constexpr const char* disabledKey = "kestrelix.disabledBundleIDs";
    static constexpr const char* namesKey = "kestrelix.appNames";

    /// Terminals, and screen-sharing and remote-desktop clients: a rewrite there could run a command
    /// or reach another machine. Each application under its desktop-entry id and its WM_CLASS class.
    /// Terminals missing here are known by their desktop entries (see isAlwaysOff).
    static const std::set<std::string> hardDeny;
    /// Browsers that drop or reorder synthesized Unicode key events; they get the text pasted.
    static const std::set<std::string> clipboardApps;

    /// defaults and workspace must outlive the store. entries: the installed applications' desktop
    /// entries; null for the standard folders.
    PolicyStore(Defaults& defaults, platform::Workspace& workspace,
                std::shared_ptr<platform::DesktopEntries> entries = nullptr);

    /// Whether appID is always off: listed in hardDeny, or a terminal by its desktop entry (the
    /// TerminalEmulator category), as the desktop knows it, whatever the user's settings say.
    bool isAlwaysOff(const std::optional<std::string>& appID) const;
    /// False for no id, an empty one, an always-off application or one the user disabled.
    bool isCorrectionAllowed(const std::optional<std::string>& appID) const;
    /// Remembers the display name of appID; writes only when it changed.
    void note(const std::optional<std::string>& appID, const std::optional<std::string>& name);
    /// Edits the user's disabled list (always written, sorted). Always-off applications stay off.
    void setEnabled(bool enabled, const std::string& appID);
    /// Every application remembered, disabled or always off, sorted by name as the user's language
    /// sorts, ignoring case.
    std::vector<AppInfo> knownApps();
    /// The applications that have run here: their names were remembered, the user disabled them,
    /// or they run now.
    std::set<std::string> appsThatRan() const;
    /// Whether a running instance of appID is an Electron application. The first answer for an id,
    /// false included, holds for the life of the process.
    bool isElectron(const std::string& appID);
    /// The paste strategy applies: a listed browser or an Electron application.
    bool usesClipboard(const std::string& appID);

private:
    StringDictionary appNames() const;
    std::set<std::string> disabledList() const;

    Defaults& m_defaults;
    platform::Workspace& m_workspace;
    std::shared_ptr<platform::DesktopEntries> m_entries;
    std::map<std::string, bool> m_electronCache;
};

}  // namespace kx
