#pragma once
// The controller on the simulated desktop: layouts, applications with their text fields, the
// pasteboard and the permissions, a virtual clock, inline serial queues, and recording views of
// the status item, the prompt and the windows. Files go to a temporary folder.

#include "SimServices.h"
#include "controller/AlertView.h"
#include "controller/AppController.h"
#include "controller/StatusItemView.h"
#include "controller/SuggestionPromptView.h"
#include "controller/WindowPresenter.h"
#include "engine/FrequencyOracle.h"
#include "engine/TranslationEngine.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace kx::test {

class RecordingStatusItem final : public StatusItemView {
public:
    void showGlyph(const StatusGlyph& glyph) override
    {
        this->glyph = glyph;
        title.clear();
    }
    void showText(const std::string& text) override
    {
        title = text;
        texts.push_back(text);
    }
    void setMenu(const StatusMenu& menu) override { this->menu = menu; }
    bool menuShown() const override { return open; }

    StatusMenu menu;
    /// Whether the menu is on screen; a closed one is built only as it opens.
    bool open = true;

    std::optional<StatusGlyph> glyph;
    std::string title;
    std::vector<std::string> texts;  // every text shown, in order
};

class FakePrompt final : public SuggestionPromptView {
public:
    void show(platform::ScreenPoint at) override
    {
        visible = true;
        origin = at;
    }
    void hide() override
    {
        visible = false;
        hides += 1;
    }
    bool contains(platform::ScreenPoint point) const override
    {
        return visible && point.x >= origin.x && point.x < origin.x + 120 && point.y >= origin.y &&
               point.y < origin.y + 40;
    }

    bool visible = false;
    platform::ScreenPoint origin;
    int hides = 0;
};

class RecordingWindows final : public WindowPresenter {
public:
    void showWalkthrough() override { walkthroughs += 1; }
    void showSetup() override { setups += 1; }

    int walkthroughs = 0;
    int setups = 0;
};

inline const sim::SimApplication editor{.id = "org.gnome.gedit", .name = "Text Editor", .pid = 400, .electron = false};
inline const sim::SimApplication firefox{.id = "firefox", .name = "Firefox", .pid = 500, .electron = false};
inline const sim::SimApplication terminal{
    .id = "org.gnome.Terminal", .name = "Terminal", .pid = 600, .electron = false};

class ControllerHarness : public ::testing::Test {
protected:
    ControllerHarness()
    {
        std::random_device random;
        root = std::filesystem::temp_directory_path() / ("kx-controller-" + std::to_string(random()));
        std::filesystem::create_directories(root);
        Paths::setShared(Paths::underRoot(root));
        Log::setUrl(root / "kestrelix.log");
        FrequencyOracle::setResourceBundle(std::filesystem::path(KX_SOURCE_RESOURCE_DIR));
        defaults.set("kestrelix.seenWalkthrough", true);
        desk.setLayouts({"us", "il"});
    }

    ~ControllerHarness() override
    {
        controller.reset();
        Log::flush();
        std::filesystem::remove_all(root);
        EXPECT_TRUE(desk.faults().empty()) << desk.faults().front();
    }

    /// Makes the controller over the desktop; start() is the test's step.
    AppController& make()
    {
        AppServices services;
        services.main = &queue;
        services.defaults = &defaults;
        provide(desk, services);
        if (eventTap)
            services.eventTap = eventTap;
        services.spellChecker = &platform::SpellChecker::shared();
        services.actuationQueue = actuationQueue.get();
        services.axQueue = axQueue.get();
        services.warmUpQueue = warmUpQueue.get();
        services.detach = detach;
        services.sleeper = [this](double seconds) { pauses.push_back(seconds); };
        services.statusItem = &statusItem;
        services.suggestionPrompt = &prompt;
        services.windows = &windows;
        services.settingsWindow = settingsWindow;
        services.alerts = alerts;
        services.version = version;
        services.bundlePath = "/opt/kestrelix";
        services.launchOptions = launchOptions;
        controller = std::make_unique<AppController>(std::move(services));
        return *controller;
    }

    /// A started controller with the editor in front, in mode.
    AppController& startIn(CorrectionMode mode, const sim::SimApplication& app = editor)
    {
        defaults.set("kestrelix.correctionMode", std::string(mode.rawValue()));
        desk.launch(app);
        desk.activate(app.id);
        make().start();
        queue.runUntilIdle();
        return *controller;
    }

    sim::SimTextField& field() { return *desk.focusedField(); }

    /// Types with the selected layout the keys that type text on layout: "שלום" meant for "il"
    /// typed with "us" active arrives as "akuo".
    void typeMeantFor(const std::string& layout, const std::string& text)
    {
        desk.type(TranslationEngine::transliterate(text, platform::KeyTable::forLayout(layout),
                                                   desk.inputSources().currentTable()));
    }

    /// The two hot keys (Ctrl+Alt+K and Ctrl+Alt+Z on the desktop) and the application's undo.
    void pressConvertKey() { desk.press(40, EventFlags::option | EventFlags::command); }
    void pressUndoKey() { desk.press(6, EventFlags::option | EventFlags::command); }
    void pressCommandZ() { desk.press(6, EventFlags::command); }

    /// The session log's messages, without their time stamps.
    std::vector<std::string> logLines()
    {
        Log::flush();
        std::ifstream in(root / "kestrelix.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            const auto gap = line.find("  ");
            lines.push_back(gap == std::string::npos ? line : line.substr(gap + 2));
        }
        return lines;
    }

    bool logHas(const std::string& message)
    {
        const auto lines = logLines();
        return std::find(lines.begin(), lines.end(), message) != lines.end();
    }

    /// The log lines that start with prefix.
    std::vector<std::string> logLinesStarting(const std::string& prefix)
    {
        std::vector<std::string> found;
        for (const auto& line : logLines())
            if (line.starts_with(prefix))
                found.push_back(line);
        return found;
    }

    std::filesystem::path root;
    VirtualMainQueue queue;
    sim::SimDesktop desk{queue};
    MemoryDefaults defaults;
    std::unique_ptr<SerialQueue> actuationQueue = SerialQueue::inlineQueue();
    std::unique_ptr<SerialQueue> axQueue = SerialQueue::inlineQueue();
    std::unique_ptr<SerialQueue> warmUpQueue = SerialQueue::inlineQueue();
    /// Where the dictionary loads go; empty runs them at once.
    std::function<void(Block)> detach;
    std::vector<double> pauses;
    /// Stands in for the desktop's tap when set.
    platform::EventTap* eventTap = nullptr;
    RecordingStatusItem statusItem;
    FakePrompt prompt;
    RecordingWindows windows;
    /// Handed to the controller when set.
    SettingsWindowPresenter* settingsWindow = nullptr;
    AlertView* alerts = nullptr;
    std::string version = "0.1.0";
    LaunchOptions launchOptions;
    std::unique_ptr<AppController> controller;
};

}  // namespace kx::test
