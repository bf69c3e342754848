#pragma once
// The status menu as plain data. Its content is a pure function of what the controller knows at
// the moment the menu opens: until both permissions are granted it only leads to the setup;
// afterwards it offers the mode, the selection swap, the layouts, help, updates, reports, settings
// and a switch for the application in front. The tray item turns it into a real menu and hands
// the user's choices back as commands.

#include "engine/CorrectionMode.h"
#include "engine/Script.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kx {

class LanguageOracle;
class LayoutRegistry;
class PolicyStore;
namespace platform {
class Permissions;
class Workspace;
}  // namespace platform

enum class MenuAction {
    none,
    openSetup,
    convertSelection,
    selectLayout,  // argument: the layout's id
    openWalkthrough,
    checkForUpdates,
    reportMiss,
    openSettings,
    quit,
    setCorrectionMode,  // the mode selector row; the command carries the mode
    setAppEnabled,      // the application row's switch; argument: the application's id
    manageApps,         // the application row's disclosure button
};

struct MenuItem {
    enum class Kind { item, separator, header, secureInputBanner, modeSelector, toggleRow };

    Kind kind = Kind::item;
    std::string title;
    bool enabled = true;
    bool checked = false;
    std::string badge;
    std::string keyEquivalent;  // "Ctrl+Alt+K"; empty for none
    std::string symbol;         // an icon-theme name; empty for none
    MenuAction action = MenuAction::none;
    std::string argument;

    // The secure input banner.
    std::string holder;
    bool stuck = false;
    // The mode selector row.
    CorrectionMode mode = CorrectionMode::automatic;
    // The application row: its title is title, its icon the application's.
    std::string iconAppID;
    bool isOn = false;
    bool showDisclosure = false;

    bool operator==(const MenuItem&) const = default;
};

/// What the user did in the menu.
struct MenuCommand {
    MenuAction action = MenuAction::none;
    std::string argument;
    CorrectionMode mode = CorrectionMode::automatic;
    bool on = false;

    bool operator==(const MenuCommand&) const = default;
};

/// What the menu shows, read at the moment it is built.
struct StatusMenuState {
    struct Layout {
        std::string id;
        std::string localizedName;
        std::string language;   // the first of its languages; empty when none
        bool canCheck = false;  // the frequency oracle can judge words of the language
    };
    struct FrontApp {
        std::string id;
        std::string name;  // its name, else its id
        bool alwaysOff = false;
        bool enabled = true;
        bool readable = true;  // it offers accessibility: its password fields can be recognised
    };

    bool accessibility = false;
    bool inputMonitoring = false;
    std::vector<std::string> missingForKeyboard;  // what the display lacks for keyboard access
    bool secureInputActive = false;
    std::string secureInputHolder;
    bool secureInputStuck = false;
    CorrectionMode correctionMode = CorrectionMode::automatic;
    std::vector<Layout> layouts;  // in registry order
    std::optional<std::string> currentLayoutID;
    std::optional<FrontApp> frontApp;  // only an application with an id, never this process
};

class StatusMenu {
public:
    /// Reads the state from the desktop and the controller's parts. Notes the front application's
    /// name in the policy store, as showing it in the menu remembers it; a front window of ownPid
    /// (this process) is left out. Without a frequency oracle (the languages are still loading)
    /// no layout counts as checkable. frontAppReadable: the front application's password fields
    /// can be recognised.
    static StatusMenuState capture(platform::Permissions& permissions, platform::Workspace& workspace,
                                   const LayoutRegistry& registry, LanguageOracle* frequency, PolicyStore& policy,
                                   CorrectionMode mode, bool secureInputActive, const std::string& secureInputHolder,
                                   bool secureInputStuck, int ownPid, bool frontAppReadable = true);
    /// Notes the front application's name in the policy store, so that the Apps tab lists every
    /// application the user works in; a front window of ownPid (this process) is left out. The
    /// application's id and the name noted; none when nothing was.
    static std::optional<std::pair<std::string, std::string>> noteFront(
        platform::Workspace& workspace, PolicyStore& policy, int ownPid);
    /// The permissions form when either permission is missing, else the full menu.
    static StatusMenu build(const StatusMenuState& state);
    /// Two letters of a script ("AB", "אב"), the badge of a layout whose language has a dictionary.
    static std::string scriptSample(Script script);

    std::vector<MenuItem> items;
};

}  // namespace kx
