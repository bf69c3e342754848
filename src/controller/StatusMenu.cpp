#include "controller/StatusMenu.h"

#include "controller/HotKeyText.h"
#include "controller/Permissions.h"
#include "engine/LanguageOracle.h"
#include "engine/LayoutRegistry.h"
#include "platform/Permissions.h"
#include "platform/Workspace.h"
#include "stores/PolicyStore.h"

namespace kx {

namespace {

MenuItem separator()
{
    return {.kind = MenuItem::Kind::separator, .enabled = false};
}

MenuItem header(std::string title)
{
    return {.kind = MenuItem::Kind::header, .title = std::move(title), .enabled = false};
}

MenuItem disabled(std::string title)
{
    return {.title = std::move(title), .enabled = false};
}

MenuItem action(std::string title, MenuAction action, std::string symbol)
{
    return {.title = std::move(title), .symbol = std::move(symbol), .action = action};
}

MenuItem quitItem()
{
    return action("Quit Kestrelix", MenuAction::quit, "application-exit");
}

void addPermissionsForm(std::vector<MenuItem>& items, const StatusMenuState& state)
{
    // The program runs; what it lacks keeps the corrector off.
    items.push_back(disabled("Kestrelix — not running"));
    items.push_back(separator());
    items.push_back(disabled("What Kestrelix needs"));
    items.push_back(action("Set Up Kestrelix…", MenuAction::openSetup, "dialog-password"));
    items.push_back(disabled(state.accessibility ? "  Accessibility ✓" : "  Accessibility — not yet"));
    // Keyboard access cannot come later in this X session: the row says what the server lacks.
    std::string keyboard = "  Keyboard access ✓";
    if (!state.inputMonitoring)
        keyboard = state.missingForKeyboard.empty()
                       ? "  Keyboard access — not on this display"
                       : "  Keyboard access — this display lacks " + Permissions::joinedNames(state.missingForKeyboard);
    items.push_back(disabled(keyboard));
    items.push_back(separator());
    items.push_back(quitItem());
}

void addFullForm(std::vector<MenuItem>& items, const StatusMenuState& state)
{
    if (state.secureInputActive) {
        items.push_back({.kind = MenuItem::Kind::secureInputBanner,
                         .holder = state.secureInputHolder,
                         .stuck = state.secureInputStuck});
        items.push_back(separator());
    }
    items.push_back(header("CORRECTION"));
    items.push_back(
        {.kind = MenuItem::Kind::modeSelector, .action = MenuAction::setCorrectionMode, .mode = state.correctionMode});
    items.push_back(separator());
    MenuItem swap = action("Swap Selection", MenuAction::convertSelection, "edit-find-replace");
    swap.keyEquivalent = std::string(convertHotKeyText);
    items.push_back(std::move(swap));

    items.push_back(header("LANGUAGES"));
    for (const auto& layout : state.layouts) {
        MenuItem item = action(layout.localizedName, MenuAction::selectLayout, "");
        item.argument = layout.id;
        item.checked = state.currentLayoutID == layout.id;
        item.badge = layout.canCheck ? StatusMenu::scriptSample(Script::forLanguage(layout.language)) : "no dictionary";
        items.push_back(std::move(item));
    }
    items.push_back(separator());
    items.push_back(action("How It Works", MenuAction::openWalkthrough, "help-contents"));
    items.push_back(action("Check for Updates…", MenuAction::checkForUpdates, "system-software-update"));
    items.push_back(action("Report a Miss…", MenuAction::reportMiss, "mail-message-new"));
    items.push_back(action("Settings", MenuAction::openSettings, "preferences-system"));
    items.push_back(quitItem());

    if (!state.frontApp)
        return;
    const auto& app = *state.frontApp;
    items.push_back(separator());
    if (app.alwaysOff) {
        items.push_back(disabled("Always off in " + app.name));
        return;
    }
    // Typing there is neither logged nor kept in the history, as a password may be among it.
    if (!app.readable)
        items.push_back(disabled("Password fields can't be recognised in " + app.name));
    items.push_back({.kind = MenuItem::Kind::toggleRow,
                     .title = "Swap in " + app.name,
                     .action = MenuAction::setAppEnabled,
                     .argument = app.id,
                     .iconAppID = app.id,
                     .isOn = app.enabled,
                     .showDisclosure = true});
}

}  // namespace

StatusMenuState StatusMenu::capture(platform::Permissions& permissions, platform::Workspace& workspace,
                                    const LayoutRegistry& registry, LanguageOracle* frequency, PolicyStore& policy,
                                    CorrectionMode mode, bool secureInputActive, const std::string& secureInputHolder,
                                    bool secureInputStuck, int ownPid, bool frontAppReadable)
{
    StatusMenuState state{
        .accessibility = permissions.isGranted(platform::Permission::accessibility),
        .inputMonitoring = permissions.isGranted(platform::Permission::inputMonitoring),
        .missingForKeyboard = permissions.missingParts(platform::Permission::inputMonitoring),
        .secureInputActive = secureInputActive,
        .secureInputHolder = secureInputHolder,
        .secureInputStuck = secureInputStuck,
        .correctionMode = mode,
    };
    // The permissions form shows nothing else, and noting the front application is part of the full one.
    if (!state.accessibility || !state.inputMonitoring)
        return state;

    for (const auto& layout : registry.layouts)
        state.layouts.push_back(
            {layout.id, layout.localizedName, layout.language(), frequency && frequency->canCheck(layout.language())});
    if (const auto current = registry.currentLayout())
        state.currentLayoutID = current->id;

    if (const auto noted = noteFront(workspace, policy, ownPid)) {
        const auto& [id, name] = *noted;
        const bool alwaysOff = policy.isAlwaysOff(id);
        state.frontApp = StatusMenuState::FrontApp{id, name, alwaysOff, !alwaysOff && policy.isCorrectionAllowed(id),
                                                   frontAppReadable};
    }
    return state;
}

std::optional<std::pair<std::string, std::string>> StatusMenu::noteFront(
    platform::Workspace& workspace, PolicyStore& policy, int ownPid)
{
    // Our own window in front is no application to switch correction for.
    const auto front = workspace.frontApplication();
    if (!front || front->id.empty() || front->pid == ownPid)
        return std::nullopt;
    std::string name = front->name.empty() ? front->id : front->name;
    policy.note(front->id, name);
    return std::make_pair(front->id, std::move(name));
}

StatusMenu StatusMenu::build(const StatusMenuState& state)
{
    StatusMenu menu;
    if (!state.accessibility || !state.inputMonitoring)
        addPermissionsForm(menu.items, state);
    else
        addFullForm(menu.items, state);
    return menu;
}

std::string StatusMenu::scriptSample(Script script)
{
    switch (script) {
    case Script::latin:
        return "AB";
    case Script::cyrillic:
        return "АБ";
    case Script::hebrew:
        return "אב";
    case Script::greek:
        return "ΑΒ";
    case Script::arabic:
        return "اب";
    case Script::devanagari:
        return "अब";
    case Script::other:
        return "AB";
    }
    return "AB";
}

}  // namespace kx
