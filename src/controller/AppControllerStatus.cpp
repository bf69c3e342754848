// The status item's button: the keyboard glyph that shows whether correction runs, and the short
// texts that replace it for a moment; and what the accessibility service lets the corrector do.

#include "controller/AppController.h"

#include "controller/HotKeyText.h"
#include "controller/Permissions.h"
#include "controller/StatusItemView.h"
#include "controller/WindowPresenter.h"
#include "platform/Log.h"

#include <algorithm>
#include <unistd.h>

namespace kx {

namespace {

constexpr double flashDuration = 1.4;

// On X11 the two permissions are parts of the desktop: the tooltip names the one that is missing.
std::string offTooltip(bool accessibility, bool inputMonitoring, const std::vector<std::string>& missingForKeyboard)
{
    if (!accessibility && !inputMonitoring)
        return "Kestrelix is off — it needs keyboard access and accessibility";
    if (!inputMonitoring)
        return missingForKeyboard.empty()
                   ? "Kestrelix is off — it has no keyboard access on this display"
                   : "Kestrelix is off — this display lacks " + Permissions::joinedNames(missingForKeyboard);
    return "Kestrelix is off — turn on accessibility (Set Up Kestrelix… in this menu)";
}

}  // namespace

bool AppController::noteAccessibility(bool reachable)
{
    if (!started || reachable != accessibilityLost)
        return reachable;
    accessibilityLost = !reachable;
    Log::line(reachable ? "accessibility is back — Kestrelix is on again"
                        : "accessibility lost — password fields cannot be recognised; Kestrelix is off until it "
                          "is back");
    // Not from inside the tap, which must hand the key back at once.
    soon([this] {
        updateStatusGlyph();
        rebuildMenu();
    });
    return reachable;
}

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

void AppController::updateStatusGlyph()
{
    if (!statusItem)
        return;
    const bool accessibility = m_services.permissions->isGranted(platform::Permission::accessibility);
    const bool inputMonitoring = m_services.permissions->isGranted(platform::Permission::inputMonitoring);
    StatusGlyph glyph;
    if (!accessibility || !inputMonitoring) {
        glyph = {true, GlyphTint::orange, secureInputActive,
                 offTooltip(accessibility, inputMonitoring,
                            m_services.permissions->missingParts(platform::Permission::inputMonitoring))};
    } else if (secureInputActive && status.secureInputStuck) {
        glyph = {false, GlyphTint::tertiaryLabel, true,
                 "The keyboard is held by a program that has quit — log out and back in to clear it"};
    } else if (secureInputActive) {
        glyph = {false, GlyphTint::tertiaryLabel, true,
                 "Kestrelix is paused here — a password field, or another program holding the keyboard"};
    } else {
        switch (m_behavior.correctionMode()) {
        case CorrectionMode::automatic:
            glyph = {false, GlyphTint::none, false, "Kestrelix is on"};
            break;
        case CorrectionMode::ask:
            glyph = {false, GlyphTint::none, false,
                     "Ask mode — " + std::string(convertHotKeyText) + " applies a suggested swap"};
            break;
        case CorrectionMode::manual:
            glyph = {false, GlyphTint::none, false,
                     "Manual mode — " + std::string(convertHotKeyText) + " fixes the run you just typed"};
            break;
        }
    }
    statusItem->showGlyph(glyph);
}

void AppController::rebuildMenu()
{
    if (!statusItem)
        return;
    // The menu never waits for the languages: it is built again when they arrive.
    LanguageOracle* oracle = m_languageLoad.loading() ? nullptr : &frequency();
    statusItem->setMenu(StatusMenu::build(StatusMenu::capture(
        *m_services.permissions, *m_services.workspace, m_registry, oracle, m_policy, m_behavior.correctionMode(),
        secureInputActive, secureInputHolder, status.secureInputStuck, ::getpid(), frontAppReadable())));
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
    std::vector<std::string> missing;
    for (const auto& layout : m_registry.layouts) {
        const std::string language = layout.language();
        if (language.empty() || std::find(missing.begin(), missing.end(), language) != missing.end())
            continue;
        if (frequency().frequency("probe", language).kind == Frequency::Kind::noList)
            missing.push_back(language);
    }
    return missing;
}

void AppController::refreshRuntimeStatus()
{
    // The lists load with the corrector, off the main thread; until they are in every list would
    // read as missing, and asking would wait for them. Their arrival refreshes the status.
    if (started && !m_languageLoad.loading())
        status.missingWordLists = missingWordLists();
    logPermissions(m_services.permissions->isGranted(platform::Permission::accessibility),
                   m_services.permissions->isGranted(platform::Permission::inputMonitoring));
    noteAccessibility(m_services.accessibility->isReachable());
    secureWatch.refresh(status, m_behavior.correctionMode());
    secureInputActive = secureWatch.active();
    secureInputHolder = secureWatch.holder();
    if (m_behavior.correctionMode() != CorrectionMode::ask)
        dropPendingSuggestion();
    updateStatusGlyph();
    rebuildMenu();
    m_runtimeStatusChanged.notify();
}

void AppController::flash(const std::string& text)
{
    if (!statusItem)
        return;
    statusItem->showText(text);
    later(flashDuration, [this] { updateStatusGlyph(); });
}

}  // namespace kx
