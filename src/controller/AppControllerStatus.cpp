// What the status menu holds and the menu's commands; the word lists the run state names; and what
// the accessibility service lets the corrector do.

#include "controller/AppController.h"

#include "controller/WindowPresenter.h"

#include <unistd.h>

namespace kx {

bool AppController::frontAppReadable() const
{
    const auto front = m_services.workspace->frontApplication();
    // This program's own windows hold no one else's text.
    if (!front || front->pid == ::getpid())
        return true;
    return m_services.accessibility->offersAccessibility(front->pid);
}

std::string AppController::loggable(const std::string& text) const
{
    return frontAppReadable() ? text : "…";
}

StatusMenu AppController::currentMenu()
{
    // The menu never waits for the languages: it is built again when they arrive.
    LanguageOracle* oracle = m_languageLoad.loading() ? nullptr : &frequency();
    return StatusMenu::build(StatusMenu::capture(*m_services.permissions, *m_services.workspace, m_registry, oracle,
                                                 m_policy, m_behavior.correctionMode(), m_status.secureInputActive(),
                                                 m_status.secureInputHolder(), m_status.status().secureInputStuck,
                                                 ::getpid(), frontAppReadable()));
}

void AppController::performMenuCommand(const MenuCommand& command)
{
    switch (command.action) {
    case MenuAction::openSetup:
        m_services.windows->showSetup();
        break;
    case MenuAction::openWalkthrough:
        m_services.windows->showWalkthrough();
        break;
    case MenuAction::setCorrectionMode:
        m_behavior.setCorrectionMode(command.mode);
        if (command.mode != CorrectionMode::ask)
            dropPendingSuggestion();
        updateStatusGlyph();
        break;
    case MenuAction::setAppEnabled:
        m_policy.setEnabled(command.on, command.argument);
        break;
    case MenuAction::convertSelection:
        convertSelection();
        break;
    case MenuAction::selectLayout:
        selectLayoutFromMenu(command.argument);
        break;
    case MenuAction::checkForUpdates:
        checkForUpdates();
        break;
    case MenuAction::reportMiss:
        reportMiss();
        break;
    case MenuAction::openSettings:
        openWindow(SettingsTab::general);
        break;
    case MenuAction::manageApps:
        openWindow(SettingsTab::apps);
        break;
    case MenuAction::quit:
    case MenuAction::none:
        break;
    }
}

std::vector<std::string> AppController::missingWordLists()
{
    std::vector<std::string> languages;
    for (const auto& layout : m_registry.layouts)
        languages.push_back(layout.language());
    return m_status.missingWordLists(languages, frequency());
}

}  // namespace kx
