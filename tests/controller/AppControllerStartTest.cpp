// Start-up: the log lines in order, the permissions watch and what the first start does once.

#include "ControllerHarness.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace kx::test {
namespace {

class StartTest : public ControllerHarness {};

const std::vector<std::string> startedLines = {
    "launch — build 0.1.0",
    "permissions ax=true im=true  bundlePath=/opt/kestrelix",
    "event tap installed",
    "ready — correction mode: automatic",
    "enabled layouts = [\"English (US)[en]dict=true freq=true\", \"Hebrew[he]dict=true freq=true\"]",
};

// A gate the language load queue waits at until the test, or a thread of its own, opens it.
class Gate {
public:
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool isOpen()
    {
        std::lock_guard lock(m_mutex);
        return m_open;
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool waitFor(std::chrono::seconds limit)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// The badges of the menu's layout rows, in order.
std::vector<std::string> layoutBadges(const StatusMenu& menu)
{
    std::vector<std::string> badges;
    for (const auto& item : menu.items) {
        if (item.action == MenuAction::selectLayout)
            badges.push_back(item.badge);
    }
    return badges;
}

// With both permissions at launch the corrector comes up at once, its lines in order; the layouts
// line comes when the languages are in.
TEST_F(StartTest, WithPermissionsLogsStartUpInOrder)
{
    auto& app = startIn(CorrectionMode::automatic);
    EXPECT_EQ(logLines(), startedLines);
    EXPECT_TRUE(app.hasStarted());
    EXPECT_TRUE(desk.eventTap().installed());
    EXPECT_EQ(windows.setups, 0);
    EXPECT_EQ(desk.loginItem().calls(), std::vector<std::string>{"register"});
    EXPECT_EQ(defaults.boolean("kestrelix.loginItemOffered"), true);

    // The permissions poll stops once both are seen.
    queue.advance(10.0);
    EXPECT_EQ(logLines(), startedLines);
}

// "ready" comes with the tap, before the languages are in; a word typed meanwhile is left as
// typed at once (one log line for the language, however many words), and the menu gains its
// badges when they arrive.
TEST_F(StartTest, WordTypedWhileLanguagesLoadIsLeftAsTyped)
{
    Gate gate;
    Gate typed;
    warmUpQueue = SerialQueue::threaded("test.languages");
    warmUpQueue->async([&gate] { gate.wait(); });
    // Should a word wait for the load, this lets it through after a while, so the test fails
    // rather than hangs.
    std::thread valve([&] {
        if (!typed.waitFor(std::chrono::seconds(5)))
            gate.open();
    });
    startIn(CorrectionMode::automatic);
    EXPECT_TRUE(desk.eventTap().installed());
    EXPECT_EQ(logLines(), std::vector<std::string>(startedLines.begin(), startedLines.end() - 1));
    EXPECT_EQ(layoutBadges(statusItem.menu), (std::vector<std::string>{"no dictionary", "no dictionary"}));

    desk.type("cceav ");
    desk.type("cceav ");
    typed.open();
    const bool waited = gate.isOpen();
    gate.open();
    valve.join();
    EXPECT_FALSE(waited) << "a word waited for the languages";
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "cceav cceav |");
    EXPECT_EQ(logLinesStarting("language "),
              std::vector<std::string>{"language en is still loading — words that need it are left as typed"});

    warmUpQueue->waitUntilIdle();
    queue.runUntilIdle();
    EXPECT_TRUE(logHas(startedLines.back()));
    EXPECT_EQ(layoutBadges(statusItem.menu), (std::vector<std::string>{"AB", "\u05D0\u05D1"}));
    // The words left as typed are the reach-back's once the languages are in.
    desk.type("cceav ");
    queue.advance(0.2);
    EXPECT_EQ(field().text(), "בבקשה בבקשה בבקשה ");
}

// A dictionary that never loads holds up its own language alone: words of the other layouts are
// still corrected between themselves, words that could be the stuck language's are left as typed,
// and when it loads at last it is used like the others.
TEST_F(StartTest, StuckDictionaryHoldsUpItsLanguageAlone)
{
    std::map<std::string, Block> held;
    detach = [&held](Block block) { held.emplace("load " + std::to_string(held.size()), std::move(block)); };
    desk.setLayouts({"us", "il", "ru"});
    startIn(CorrectionMode::automatic);
    // One thread a language, in the languages' order: en, he, ru.
    ASSERT_EQ(held.size(), 3u);
    held["load 1"]();
    held["load 2"]();
    queue.runUntilIdle();

    desk.switchLayout("il");
    typeMeantFor("ru", "привет ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "привет ");
    EXPECT_EQ(desk.inputSources().currentName(), "ru");

    desk.switchLayout("us");
    typeMeantFor("il", "בבקשה ");
    desk.switchLayout("il");
    typeMeantFor("us", "hello ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "привет cceav יקךךם ");
    EXPECT_EQ(logLinesStarting("language "),
              std::vector<std::string>{"language en is still loading — words that need it are left as typed"});
    EXPECT_TRUE(logLinesStarting("enabled layouts").empty());

    held["load 0"]();
    queue.runUntilIdle();
    EXPECT_EQ(logLinesStarting("enabled layouts").size(), 1u);
    typeMeantFor("us", "hello ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "привет cceav hello hello ");
}

// A history set aside while the stores are made is logged after the launch empties the log (the
// application holds what is logged before it), never emptied away with the previous launch.
TEST_F(StartTest, FileSetAsideBeforeTheResetIsLogged)
{
    std::ofstream(root / "kestrelix.log") << "previous launch\n";
    defaults.set("kestrelix.troubleshooting", true);
    const std::filesystem::path history = Paths::shared().historyFile();
    std::filesystem::create_directories(history.parent_path());
    std::ofstream(history) << "[{";
    Log::holdUntilReset();
    make().start();
    queue.runUntilIdle();

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), startedLines.size() + 1);
    EXPECT_TRUE(lines[0].starts_with("history: cannot read " + history.string() + "; set aside as ")) << lines[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), startedLines);
}

// A missing permission logs once, opens the setup once; granting it starts within 2 s.
TEST_F(StartTest, SecondPermissionStartsTheCorrectorWithoutRelaunch)
{
    desk.permissions().inputMonitoring = false;
    auto& app = startIn(CorrectionMode::automatic);
    queue.advance(6.0);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"launch — build 0.1.0",
                                                    "permissions ax=true im=false  bundlePath=/opt/kestrelix"}));
    EXPECT_EQ(windows.setups, 1);
    EXPECT_FALSE(app.hasStarted());
    EXPECT_FALSE(desk.eventTap().installed());
    ASSERT_TRUE(statusItem.glyph);
    EXPECT_TRUE(statusItem.glyph->slashed);

    desk.permissions().inputMonitoring = true;
    queue.advance(2.0);
    EXPECT_TRUE(app.hasStarted());
    EXPECT_TRUE(desk.eventTap().installed());
    auto expected = startedLines;
    expected.insert(expected.begin() + 1, "permissions ax=true im=false  bundlePath=/opt/kestrelix");
    EXPECT_EQ(logLines(), expected);
    EXPECT_EQ(windows.setups, 1);
    EXPECT_FALSE(statusItem.glyph->slashed);
}

// The login item is offered on the first start ever, never again; the walkthrough only until seen.
TEST_F(StartTest, FirstStartOnlyOffersLoginItemAndWalkthrough)
{
    defaults.set("kestrelix.loginItemOffered", true);
    defaults.set("kestrelix.seenWalkthrough", false);
    startIn(CorrectionMode::automatic);
    EXPECT_TRUE(desk.loginItem().calls().empty());
    EXPECT_EQ(windows.walkthroughs, 0);
    queue.advance(0.4);
    EXPECT_EQ(windows.walkthroughs, 1);
}

// Changing the mode is logged, and leaving ask mode drops a pending suggestion.
TEST_F(StartTest, ModeChangeIsLoggedAndDropsSuggestionOutsideAsk)
{
    auto& app = startIn(CorrectionMode::ask);
    app.armSuggestion({});
    app.behavior().setCorrectionMode(CorrectionMode::ask);
    EXPECT_TRUE(app.suggestionPending());
    app.behavior().setCorrectionMode(CorrectionMode::manual);
    EXPECT_FALSE(app.suggestionPending());
    EXPECT_EQ(prompt.hides, 1);
    EXPECT_TRUE(logHas("correction mode → manual"));
    EXPECT_EQ(statusItem.glyph->tooltip, "Manual mode — Ctrl+Alt+K fixes the run you just typed");
}

}  // namespace
}  // namespace kx::test
