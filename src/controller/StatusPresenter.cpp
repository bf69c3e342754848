#include "controller/StatusPresenter.h"

#include "controller/HotKeyText.h"
#include "controller/Permissions.h"
#include "controller/WindowPresenter.h"
#include "platform/Accessibility.h"
#include "platform/Log.h"
#include "platform/Permissions.h"

#include <algorithm>

namespace kx {

namespace {

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

const char* boolText(bool value)
{
    return value ? "true" : "false";
}

}  // namespace

StatusPresenter::StatusPresenter(const AppServices& services, const BehaviorPrefs& behavior, Hooks hooks)
    : m_item(services.statusItem),
      m_permissions(*services.permissions),
      m_accessibility(*services.accessibility),
      m_windows(services.windows),
      m_main(*services.main),
      m_behavior(behavior),
      m_bundlePath(services.bundlePath),
      m_hooks(std::move(hooks)),
      m_watch(*services.secureInput, *services.workspace, *services.main)
{}

void StatusPresenter::watchPermissions()
{
    evaluatePermissions();
    // Once started the run state's refresh watches the permissions; a setup window opened then
    // would take the focus from what the user is typing in.
    if (!m_started)
        m_permTimer = m_main.timer(pollInterval, true, [this] { evaluatePermissions(); });
}

void StatusPresenter::evaluatePermissions()
{
    const Granted granted = askPermissions();
    logPermissions(granted);
    showGlyph(granted);
    refreshMenu();

    if (!granted.both()) {
        if (!m_promptedForPermissions) {
            m_promptedForPermissions = true;
            if (m_windows)
                m_windows->showSetup();
        }
        return;
    }

    m_permTimer.reset();
    if (m_started)
        return;
    m_started = true;
    if (m_hooks.startCorrector)
        m_hooks.startCorrector();
    refresh();
    m_statusTimer = m_main.timer(pollInterval, true, [this] { refresh(); });
}

void StatusPresenter::refresh()
{
    // Each permission is asked once a refresh: over D-Bus the answer is a blocking call.
    const Granted granted = askPermissions();
    logPermissions(granted);
    noteAccessibility(m_accessibility.isReachable());
    m_watch.refresh(m_status, m_behavior.correctionMode(), granted.both());
    if (m_hooks.refreshed)
        m_hooks.refreshed();
    showGlyph(granted);
    refreshMenu();
    m_changed.notify();
}

bool StatusPresenter::noteAccessibility(bool reachable)
{
    if (!m_started || reachable != m_accessibilityLost)
        return reachable;
    m_accessibilityLost = !reachable;
    Log::line(reachable ? "accessibility is back — Kestrelix is on again"
                        : "accessibility lost — password fields cannot be recognised; Kestrelix is off until it "
                          "is back");
    // Not from inside the tap, which must hand the key back at once.
    m_redraw = m_main.after(0, [this] {
        showGlyph();
        refreshMenu();
    });
    return reachable;
}

std::vector<std::string> StatusPresenter::missingWordLists(const std::vector<std::string>& languages,
                                                           LanguageOracle& oracle)
{
    std::vector<std::string> missing;
    for (const std::string& language : languages) {
        if (language.empty() || std::ranges::find(missing, language) != missing.end())
            continue;
        auto known = m_listMissing.find(language);
        if (known == m_listMissing.end())
            known =
                m_listMissing.emplace(language, oracle.frequency("probe", language).kind == Frequency::Kind::noList)
                    .first;
        if (known->second)
            missing.push_back(language);
    }
    return missing;
}

StatusPresenter::Granted StatusPresenter::askPermissions() const
{
    return {m_permissions.isGranted(platform::Permission::accessibility),
            m_permissions.isGranted(platform::Permission::inputMonitoring)};
}

void StatusPresenter::logPermissions(Granted granted)
{
    const std::string state =
        std::string("ax=") + boolText(granted.accessibility) + " im=" + boolText(granted.inputMonitoring);
    if (state == m_lastPermLog)
        return;
    m_lastPermLog = state;
    Log::line("permissions " + state + "  bundlePath=" + m_bundlePath);
}

void StatusPresenter::showGlyph()
{
    if (m_item)
        showGlyph(askPermissions());
}

void StatusPresenter::showGlyph(Granted granted)
{
    if (!m_item)
        return;
    const bool secureInput = m_watch.active();
    StatusGlyph glyph;
    if (!granted.both()) {
        glyph = {true, GlyphTint::orange, secureInput,
                 offTooltip(granted.accessibility, granted.inputMonitoring,
                            m_permissions.missingParts(platform::Permission::inputMonitoring))};
    } else if (secureInput && m_status.secureInputStuck) {
        glyph = {false, GlyphTint::tertiaryLabel, true,
                 "The keyboard is held by a program that has quit — log out and back in to clear it"};
    } else if (secureInput) {
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
    m_item->showGlyph(glyph);
}

void StatusPresenter::rebuildMenu()
{
    if (!m_item || !m_hooks.menu)
        return;
    m_item->setMenu(m_hooks.menu());
    m_menuBuilt = true;
}

void StatusPresenter::refreshMenu()
{
    if (m_item && (!m_menuBuilt || m_item->menuShown()))
        rebuildMenu();
}

void StatusPresenter::flash(const std::string& text)
{
    if (!m_item)
        return;
    m_item->showText(text);
    m_flashRestores.after(flashDuration, [this] { showGlyph(); });
}

}  // namespace kx
