// What the status menu's items and the settings window's buttons make the controller do.

#include "ControllerHarness.h"

#include <regex>

namespace kx::test {
namespace {

class RecordingSettingsWindow final : public SettingsWindowPresenter {
public:
    void show(const SettingsContext& context, SettingsTab tab) override
    {
        tabs.push_back(tab);
        actions = context.actions;
        secureInputShown = context.actions->runtimeStatus().secureInputActive;
    }
    std::vector<SettingsTab> tabs;
    SettingsActions* actions = nullptr;
    bool secureInputShown = false;
};

class AnsweringAlerts final : public AlertView {
public:
    void show(const Alert& alert, std::function<void(std::optional<std::size_t>)> then) override
    {
        shown.push_back(alert);
        then(answer);
    }
    std::optional<std::size_t> answer;
    std::vector<Alert> shown;
};

class ActionsTest : public ControllerHarness {
protected:
    ActionsTest()
    {
        settingsWindow = &window;
        alerts = &alertView;
    }

    /// The user picks the menu item titled title.
    void choose(const std::string& title)
    {
        const auto& items = statusItem.menu.items;
        const auto item = std::ranges::find_if(items, [&](const MenuItem& i) { return i.title == title; });
        ASSERT_NE(item, items.end()) << title;
        controller->performMenuCommand({.action = item->action, .argument = item->argument});
        queue.runUntilIdle();
    }

    RecordingSettingsWindow window;
    AnsweringAlerts alertView;
};

// In a browser, which gets text pasted, choosing Hebrew switches to it and watches for keys still typed in
// English; choosing the layout in use switches nothing and ends the watch; an editor needs no watch.
TEST_F(ActionsTest, LayoutItemsSwitchAndWatchForStaleKeys)
{
    auto& app = startIn(CorrectionMode::automatic, firefox);
    choose("Hebrew");
    EXPECT_EQ(desk.inputSources().currentName(), "il");
    ASSERT_TRUE(app.repairs().staleExpectation());
    EXPECT_EQ(app.repairs().staleExpectation()->old.localizedName, "English (US)");
    EXPECT_EQ(app.repairs().staleExpectation()->new_.localizedName, "Hebrew");
    EXPECT_DOUBLE_EQ(app.repairs().staleExpectation()->deadline, queue.now() + 1.5);

    const auto selections = desk.inputSources().selections().size();
    choose("Hebrew");
    EXPECT_EQ(desk.inputSources().selections().size(), selections);
    EXPECT_FALSE(app.repairs().staleExpectation());

    desk.launch(editor);
    desk.activate(editor.id);
    choose("English (US)");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    EXPECT_FALSE(app.repairs().staleExpectation());
}

// The user selects text typed on the wrong layout and picks "Swap Selection".
TEST_F(ActionsTest, SwapSelectionItemConvertsTheSelection)
{
    startIn(CorrectionMode::manual);
    field().setText("akuo");
    field().select(0, 4);
    choose("Swap Selection");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "שלום|");
}

// The update and report pages carry the version and the mode; a version is encoded so it cannot break the address.
TEST_F(ActionsTest, SitePagesCarryVersionAndMode)
{
    startIn(CorrectionMode::ask);
    choose("Check for Updates…");
    choose("Report a Miss…");
    version = "1 &mode=x#";
    make().reportMiss();
    EXPECT_EQ(desk.workspace().openedUrls(),
              (std::vector<std::string>{"https://kestrelix.app/update/?v=0.1.0",
                                        "https://kestrelix.app/report/?v=0.1.0&mode=ask",
                                        "https://kestrelix.app/report/?v=1%20%26mode%3Dx%23&mode=ask"}));
}

// On a desktop that opens nothing (no browser, no file handler), each page or file says so with its
// address or path, and the first button copies it.
TEST_F(ActionsTest, FailedOpensShowTheAddressToCopy)
{
    auto& app = startIn(CorrectionMode::ask);
    desk.workspace().opensFail = true;
    alertView.answer = 0;
    choose("Check for Updates…");
    queue.advance(0.1);
    ASSERT_EQ(alertView.shown.size(), 1u);
    EXPECT_EQ(alertView.shown[0].message, "Kestrelix couldn’t open the page");
    EXPECT_TRUE(alertView.shown[0].informativeText.ends_with("\n\nhttps://kestrelix.app/update/?v=0.1.0"));
    EXPECT_EQ(alertView.shown[0].buttons, (std::vector<std::string>{"Copy Address", "Close"}));
    EXPECT_EQ(desk.pasteboard().string(), "https://kestrelix.app/update/?v=0.1.0");

    alertView.answer = 1;
    Log::line("something");
    app.openLogFile();
    queue.advance(0.1);
    ASSERT_EQ(alertView.shown.size(), 2u);
    EXPECT_EQ(alertView.shown[1].message, "Kestrelix couldn’t open the log file");
    EXPECT_TRUE(alertView.shown[1].informativeText.ends_with("\n\n" + (root / "kestrelix.log").string()));
    EXPECT_EQ(desk.pasteboard().string(), "https://kestrelix.app/update/?v=0.1.0") << "Close copies nothing";

    desk.workspace().opensFail = false;
    choose("Report a Miss…");
    queue.advance(0.1);
    EXPECT_EQ(alertView.shown.size(), 2u) << "nothing said when the page opened";
}

// The log opens only when it exists: right after an erase there is nothing to show.
TEST_F(ActionsTest, OpenLogFileOnlyWhenThereIsALog)
{
    auto& app = startIn(CorrectionMode::automatic);
    Log::erase();
    Log::flush();
    const std::size_t before = desk.workspace().openedUrls().size();
    app.openLogFile();
    EXPECT_EQ(desk.workspace().openedUrls().size(), before);
    Log::line("hello");
    Log::flush();
    app.openLogFile();
    ASSERT_EQ(desk.workspace().openedUrls().size(), before + 1);
    EXPECT_EQ(desk.workspace().openedUrls().back(), "file://" + (root / "kestrelix.log").string());
}

// "Settings" and the app row's arrow open the window on General and Apps, showing the run state of that moment.
TEST_F(ActionsTest, SettingsOpenOnTheAskedTabWithFreshState)
{
    auto& app = startIn(CorrectionMode::automatic);
    int refreshes = 0;
    const auto subscription = app.runtimeStatusChanged().subscribe([&] { refreshes += 1; });
    desk.secureInput().turnOn(400);

    choose("Settings");
    app.performMenuCommand({.action = MenuAction::manageApps, .argument = editor.id});
    EXPECT_EQ(window.tabs, (std::vector<SettingsTab>{SettingsTab::general, SettingsTab::apps}));
    EXPECT_EQ(window.actions, &app);
    EXPECT_TRUE(window.secureInputShown);
    EXPECT_EQ(refreshes, 2);
}

// Started to run a drill, the program opens the settings window on General 1.0 s after the corrector is up.
TEST_F(ActionsTest, DrillOpensSettingsOneSecondAfterStart)
{
    launchOptions.drillPace = DrillPace::fluent;
    desk.permissions().inputMonitoring = false;
    startIn(CorrectionMode::automatic);
    queue.advance(3.0);
    desk.permissions().inputMonitoring = true;
    queue.advance(1.9);  // the check at 4.0 s starts the corrector
    EXPECT_TRUE(window.tabs.empty());
    queue.advance(0.1);
    EXPECT_EQ(window.tabs, std::vector<SettingsTab>{SettingsTab::general});
}

// The report opens with the date, the build, the layouts and the permissions, then the history's totals.
TEST_F(ActionsTest, ReportHeader)
{
    desk.permissions().inputMonitoring = false;
    auto& app = startIn(CorrectionMode::manual);
    app.registry().refresh();
    std::istringstream report(app.reportText());
    std::vector<std::string> lines;
    for (std::string line; std::getline(report, line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("Kestrelix report · \\S+ \\d{1,2}, \\d{4} at \\d\\d:\\d\\d")));
    EXPECT_TRUE(lines[1].starts_with("build 0.1.0 · Linux ")) << lines[1];
    EXPECT_EQ(lines[2], "layouts: English (US)[en], Hebrew[he]");
    EXPECT_EQ(lines[3], "permissions: ax=true im=false · mode=manual");
    EXPECT_EQ(lines[5], "corrections: 0 total, 0 flagged 👎");
}

// The diagnostics line describes the running corrector and its front application, then the log opens.
TEST_F(ActionsTest, DiagnosticsLine)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("hi");
    app.runDiagnostics();
    desk.workspace().quit(editor.id);
    desk.secureInput().turnOn(777);
    app.runDiagnostics();

    const auto lines = logLinesStarting("DIAGNOSTICS ");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "DIAGNOSTICS accessibility=true inputMonitoring=true started=true tapInstalled=true "
                        "keysSeenByTap=2 mode=automatic isActuating=false layouts=[\"English (US)[en]\", "
                        "\"Hebrew[he]\"] currentLayout=English (US) frontApp=org.gnome.gedit allowed=true "
                        "secureInput=false secureInputHeldBy=-");
    EXPECT_TRUE(lines[1].ends_with(" frontApp=? allowed=false secureInput=true secureInputHeldBy=? pid=777 "
                                   "STUCK(holder gone)"))
        << lines[1];
    EXPECT_EQ(desk.workspace().openedUrls().front(), "file://" + (root / "kestrelix.log").string());
}

// A layout whose language has no word list is named in the diagnostics and in the run state the
// settings window shows; with every list there, neither says anything.
TEST_F(ActionsTest, MissingWordListIsNamed)
{
    const std::filesystem::path lists = root / "lists";
    std::filesystem::create_directories(lists);
    std::filesystem::copy_file(std::filesystem::path(KX_SOURCE_RESOURCE_DIR) / "freq-en.txt", lists / "freq-en.txt");
    std::ofstream(lists / "freq-he.txt") << "\n\n";  // empty of words
    FrequencyOracle::setResourceBundle(lists);
    auto& app = startIn(CorrectionMode::automatic);
    EXPECT_EQ(app.runtimeStatus().missingWordLists, std::vector<std::string>{"he"});
    app.runDiagnostics();
    const auto lines = logLinesStarting("DIAGNOSTICS ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(" secureInputHeldBy=- missingWordLists=[\"he\"]")) << lines[0];
}

// The user presses "Test Correction (3s)" in a terminal; 3 s later a Hebrew word and a space arrive, and a key
// typed meanwhile follows them.
TEST_F(ActionsTest, TestCorrectionTypesTheWordThreeSecondsLater)
{
    auto& app = startIn(CorrectionMode::automatic, terminal);
    app.testCorrection();
    queue.advance(2.9);
    EXPECT_EQ(field().text(), "");
    queue.advance(0.1);
    desk.type("a");
    EXPECT_EQ(field().withCaret(), "שלום |");
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "שלום a|");
    EXPECT_EQ(logLinesStarting("test correction"),
              (std::vector<std::string>{"test correction in 3s — focus a text field", "test correction fired"}));
}

// "Close" in the feedback note does nothing; the copy button puts the address on the clipboard and says so.
TEST_F(ActionsTest, FeedbackNoteCopiesTheAddress)
{
    auto& app = startIn(CorrectionMode::automatic);
    alertView.answer = 1;
    app.showFeedback();
    EXPECT_EQ(desk.pasteboard().string(), std::nullopt);
    alertView.answer = 0;
    app.showFeedback();
    EXPECT_EQ(alertView.shown.back().message, "Kestrelix is in beta");
    EXPECT_EQ(alertView.shown.back().buttons, (std::vector<std::string>{"Copy Noa’s Address", "Close"}));
    EXPECT_EQ(desk.pasteboard().string(), "hello@kestrelix.app");
    EXPECT_EQ(statusItem.texts, std::vector<std::string>{"↺ hello@kestrelix.app copied"});
}

}  // namespace
}  // namespace kx::test
