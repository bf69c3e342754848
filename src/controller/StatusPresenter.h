#pragma once
// What the program shows of itself in the panel, and the polls that keep it current: the status
// item's glyph, its short messages and its menu; the run state the settings window shows, with
// the Secure Input watch behind it; the permission poll that brings the corrector up once both
// permissions are granted, and after that the run state's refresh. The presenter decides when
// something is asked of the desktop and drawn; the controller says what the menu holds and how
// the corrector comes up. Main thread only.

#include "controller/AppServices.h"
#include "controller/RuntimeStatus.h"
#include "controller/SecureInputWatch.h"
#include "controller/StatusItemView.h"
#include "controller/StatusMenu.h"
#include "engine/LanguageOracle.h"
#include "platform/DelayedBlocks.h"
#include "platform/MainQueue.h"
#include "platform/Observable.h"
#include "stores/BehaviorPrefs.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kx {

class StatusPresenter {
public:
    /// Permissions are asked every this many seconds until the corrector starts, and the run
    /// state refreshed every this many seconds afterwards.
    static constexpr double pollInterval = 2.0;
    /// How long a short message replaces the glyph.
    static constexpr double flashDuration = 1.4;

    /// What the presenter asks of the controller.
    struct Hooks {
        /// The menu as it reads now.
        std::function<StatusMenu()> menu;
        /// Both permissions are granted for the first time: bring the corrector up.
        std::function<void()> startCorrector;
        /// The run state was just refreshed and is about to be shown.
        std::function<void()> refreshed;
    };

    /// The services and behavior must outlive the presenter; services.statusItem may be null
    /// (nothing is shown then).
    StatusPresenter(const AppServices& services, const BehaviorPrefs& behavior, Hooks hooks);
    StatusPresenter(const StatusPresenter&) = delete;
    StatusPresenter& operator=(const StatusPresenter&) = delete;

    /// Asks for the permissions now and, until both are granted, every pollInterval. Once they
    /// are, the corrector starts and the run state is refreshed every pollInterval from then on.
    void watchPermissions();
    /// One look at the permissions: logs a change, shows it, and starts the corrector the first
    /// time both are granted; the first time one is missing, the setup window opens.
    void evaluatePermissions();
    /// Looks again at the permissions, the accessibility service and Secure Input, publishes the
    /// run state, shows it and tells changed().
    void refresh();

    /// The glyph and tooltip for the state as it is now.
    void showGlyph();
    /// The menu built anew.
    void rebuildMenu();
    /// Shows text in place of the glyph for flashDuration; each flash restores the glyph on its
    /// own, so a second one within that time shows its text until the first one's time is up.
    void flash(const std::string& text);

    /// Whether the accessibility service answers; logs and shows the change when it stops or comes
    /// back once the corrector runs. Callable from inside the event tap: what is shown waits until
    /// the current event has been handled.
    bool noteAccessibility(bool reachable);

    /// Records the languages of the enabled layouts that have no usable word list.
    void noteMissingWordLists(std::vector<std::string> languages) { m_status.missingWordLists = std::move(languages); }
    /// Those of languages (each once, in order, empty ones left out) that have no word list in
    /// oracle. Each language is asked of oracle once for the presenter's life: a list once loaded
    /// or failed stays so, and the refresh asks every pollInterval.
    std::vector<std::string> missingWordLists(const std::vector<std::string>& languages, LanguageOracle& oracle);

    /// The corrector is up: both permissions were granted once.
    bool started() const { return m_started; }
    const RuntimeStatus& status() const { return m_status; }
    /// Secure Input was on at the last refresh, and who holds it.
    bool secureInputActive() const { return m_watch.active(); }
    const std::string& secureInputHolder() const { return m_watch.holder(); }
    const SecureInputWatch& secureInputWatch() const { return m_watch; }
    /// Secure Input is on, or ended less than its grace period ago.
    bool blockedForField() const { return SecureInputWatch::blockedForField(m_status, m_main.now()); }
    /// After every refresh of the run state.
    Signal<>& changed() { return m_changed; }

private:
    struct Granted {
        bool accessibility = false;
        bool inputMonitoring = false;
        bool both() const { return accessibility && inputMonitoring; }
    };

    Granted askPermissions() const;
    /// The permissions line, when the answer differs from the last one logged.
    void logPermissions(Granted granted);
    void showGlyph(Granted granted);
    /// The menu built anew when it is on screen: a closed one is built as it opens. The first
    /// time it is always built.
    void refreshMenu();

    StatusItemView* m_item;
    platform::Permissions& m_permissions;
    platform::Accessibility& m_accessibility;
    WindowPresenter* m_windows;
    MainQueue& m_main;
    const BehaviorPrefs& m_behavior;
    std::string m_bundlePath;
    Hooks m_hooks;

    RuntimeStatus m_status;
    SecureInputWatch m_watch;
    bool m_started = false;
    bool m_promptedForPermissions = false;
    std::string m_lastPermLog;
    /// The accessibility service stopped answering after the corrector started.
    bool m_accessibilityLost = false;
    bool m_menuBuilt = false;
    /// Whether each language asked so far lacks its word list.
    std::map<std::string, bool> m_listMissing;
    Signal<> m_changed;

    std::unique_ptr<TimerHandle> m_permTimer;
    std::unique_ptr<TimerHandle> m_statusTimer;
    std::unique_ptr<TimerHandle> m_redraw;
    DelayedBlocks m_flashRestores{m_main};
};

}  // namespace kx
