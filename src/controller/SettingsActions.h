#pragma once
// What the settings window asks of the controller, everything it is built from, and how the
// controller opens it. The window is Qt; the controller builds a SettingsContext from its own parts
// and hands it over whenever it opens the window on a tab.

#include "controller/RuntimeStatus.h"
#include "platform/Observable.h"

#include <string>

namespace kx {

class BehaviorPrefs;
class Defaults;
class HistoryStore;
class LayoutRegistry;
class PolicyStore;
class SoundPrefs;
class WindowPresenter;
namespace platform {
class LoginItem;
class Workspace;
}  // namespace platform

/// The settings window's tabs; the values are the ones callers pass to open the window.
enum class SettingsTab { general = 0, apps = 1, history = 2 };

class SettingsActions {
public:
    /// The verbose-logging switch is stored under this key by the General tab.
    static constexpr const char* debugLoggingKey = "kestrelix.debugLogging";

    virtual ~SettingsActions() = default;

    /// The run state as the controller last refreshed it.
    virtual const RuntimeStatus& runtimeStatus() const = 0;
    /// Secure Input is on, or ended less than its grace period before now.
    virtual bool blockedForField() const = 0;
    /// Told after each refresh of the run state.
    virtual Signal<>& runtimeStatusChanged() = 0;

    /// The report the History tab copies: a header of date, build, layouts and permissions, then
    /// the history's own report.
    virtual std::string reportText() = 0;
    /// Whether the debug lines of the log are written.
    virtual bool debugLogging() const = 0;
    virtual void setDebugLogging(bool on) = 0;
    /// The program's version; "0" when it has none.
    virtual std::string appVersion() const = 0;
    /// Opens the product site's update page for this version in the browser.
    virtual void checkForUpdates() = 0;
    /// Writes the one-line diagnostic summary to the log and opens the log.
    virtual void runDiagnostics() = 0;
    /// Opens the session log with its default application; nothing when there is no log yet.
    virtual void openLogFile() = 0;
    /// Types the test word into whatever has focus 3 s from now.
    virtual void testCorrection() = 0;
    /// The feedback alert with the contact address.
    virtual void showFeedback() = 0;
};

/// The parts the settings window shows and edits; all must outlive the window (the process).
struct SettingsContext {
    HistoryStore* store = nullptr;
    PolicyStore* policy = nullptr;
    LayoutRegistry* registry = nullptr;
    SoundPrefs* sound = nullptr;
    BehaviorPrefs* behavior = nullptr;
    SettingsActions* actions = nullptr;
    /// The setup window ("Open Setup") and the walkthrough ("How It Works").
    WindowPresenter* windows = nullptr;
    /// The "Open Kestrelix at login" switch.
    platform::LoginItem* loginItem = nullptr;
    /// Opens the log file with its default application.
    platform::Workspace* workspace = nullptr;
    Defaults* defaults = nullptr;
};

/// The settings window as the controller opens it.
class SettingsWindowPresenter {
public:
    virtual ~SettingsWindowPresenter() = default;

    /// Makes the window from context on first use (later calls ignore context), selects tab and
    /// brings the window to the front.
    virtual void show(const SettingsContext& context, SettingsTab tab) = 0;
};

}  // namespace kx
