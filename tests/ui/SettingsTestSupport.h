#pragma once
// The settings window's test bench: real stores over settings in memory and a history file in a
// temporary folder, and stand-ins for the controller, the other windows and the desktop that
// record what they were asked.

#include "controller/AlertView.h"
#include "controller/SettingsActions.h"
#include "controller/WindowPresenter.h"
#include "engine/LayoutRegistry.h"
#include "platform/Defaults.h"
#include "platform/HeadlessInputSources.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimSound.h"
#include "stores/BehaviorPrefs.h"
#include "stores/HistoryStore.h"
#include "stores/PolicyStore.h"
#include "stores/SoundPrefs.h"

#include "TempFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include <chrono>
#include <string>
#include <vector>

namespace kx::test {

class RecordingWorkspace final : public platform::Workspace {
public:
    std::optional<platform::RunningApplication> frontApplication() const override { return std::nullopt; }
    std::vector<platform::RunningApplication> runningApplications() const override { return {}; }
    std::unique_ptr<Subscription> subscribeActivation(std::function<void(const platform::RunningApplication&)>) override
    {
        return std::make_unique<Subscription>();
    }
    bool open(const std::string& url, std::function<void()> failed) override
    {
        opened.push_back(url);
        if (opensFail && failed)
            failed();
        return true;
    }
    /// The desktop has no handler for what is opened.
    bool opensFail = false;

    std::vector<std::string> opened;
};

/// A pasteboard that holds one string.
class StringPasteboard final : public platform::Pasteboard {
public:
    std::vector<platform::PasteboardItem> items() override { return {}; }
    std::optional<std::vector<platform::PasteboardItem>> itemsWithin(double) override { return items(); }
    std::int64_t clearContents() override
    {
        text.reset();
        return ++changes;
    }
    bool writeItems(const std::vector<platform::PasteboardItem>&) override { return false; }
    bool setString(const std::string& value) override
    {
        text = value;
        ++changes;
        return true;
    }
    std::optional<std::string> string() override { return text; }
    std::int64_t changeCount() override { return changes; }

    std::optional<std::string> text;
    std::int64_t changes = 0;
};

/// Alerts answered at once with answer (none: dismissed), each one recorded.
class AnsweringAlerts final : public AlertView {
public:
    void show(const Alert& alert, std::function<void(std::optional<std::size_t>)> then) override
    {
        shown.push_back(alert);
        if (then)
            then(answer);
    }
    std::optional<std::size_t> answer;
    std::vector<Alert> shown;
};

class RecordingWindows final : public WindowPresenter {
public:
    void showWalkthrough() override { ++walkthroughs; }
    void showSetup() override { ++setups; }

    int walkthroughs = 0;
    int setups = 0;
};

class RecordingActions final : public SettingsActions {
public:
    const RuntimeStatus& runtimeStatus() const override { return status; }
    bool blockedForField() const override { return blocked; }
    Signal<>& runtimeStatusChanged() override { return statusChanged; }
    std::string reportText() override { return report; }
    bool debugLogging() const override { return debug; }
    void setDebugLogging(bool on) override { debug = on; }
    std::string appVersion() const override { return "1.4.2"; }
    void checkForUpdates() override { calls.emplace_back("checkForUpdates"); }
    void runDiagnostics() override { calls.emplace_back("runDiagnostics"); }
    void openLogFile() override { calls.emplace_back("openLogFile"); }
    void testCorrection() override { calls.emplace_back("testCorrection"); }
    void showFeedback() override { calls.emplace_back("showFeedback"); }

    /// Publishes status as the controller's refresh would.
    void publish(RuntimeStatus next, bool blockedNow = false);

    RuntimeStatus status;
    bool blocked = false;
    Signal<> statusChanged;
    std::string report = "Kestrelix report";
    bool debug = false;
    std::vector<std::string> calls;
};

inline void RecordingActions::publish(RuntimeStatus next, bool blockedNow)
{
    status = std::move(next);
    blocked = blockedNow;
    statusChanged.notify();
}

struct SettingsBench {
    SettingsBench() { registry.refresh(); }

    SettingsContext context()
    {
        return {.store = &store,
                .policy = &policy,
                .registry = &registry,
                .sound = &sound,
                .behavior = &behavior,
                .actions = &actions,
                .windows = &windows,
                .loginItem = &loginItem,
                .workspace = &workspace,
                .defaults = &defaults};
    }

    /// A correction made daysAgo days before now (at the same time of day) in appID.
    CorrectionRecord correction(const std::string& original, const std::string& corrected, int daysAgo,
                                std::chrono::minutes earlier = std::chrono::minutes(0),
                                const std::string& appID = "org.gnome.TextEditor")
    {
        CorrectionRecord record;
        record.at = std::chrono::system_clock::now() - std::chrono::hours(24 * daysAgo) - earlier;
        record.appName = "Text Editor";
        record.appBundleID = appID;
        record.original = original;
        record.corrected = corrected;
        record.fromLayout = "English (US)";
        record.toLayout = "Hebrew";
        return record;
    }

    TempFolder folder{"kx-settings"};
    MemoryDefaults defaults;
    sim::SimSound soundService;
    sim::SimLoginItem loginItem;
    RecordingWorkspace workspace;
    platform::HeadlessInputSources inputSources{"us,il", ""};
    LayoutRegistry registry{inputSources};
    HistoryStore store{defaults, folder / "history.json"};
    PolicyStore policy{defaults, workspace};
    SoundPrefs sound{defaults, soundService};
    BehaviorPrefs behavior{defaults};
    RecordingActions actions;
    RecordingWindows windows;
};

/// The visible top-level widget of type T with that object name; null when none shows.
template <typename T>
T* shownDialog(const QString& objectName)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<T*>(widget);
            dialog && dialog->isVisible() && dialog->objectName() == objectName)
            return dialog;
    return nullptr;
}

/// The button of parent whose text is text; null when none.
inline QAbstractButton* buttonNamed(QWidget& parent, const QString& text)
{
    for (QAbstractButton* button : parent.findChildren<QAbstractButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

/// Lets queued calls (a list replaced after a click, then its new rows shown) and deferred
/// deletions run.
inline void settle()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

}  // namespace kx::test
