// The corrector and the accessibility service: off while the service is away (a password field
// could not be told from any other), on again when it is back, and nothing written down of what
// is typed in an application whose password fields cannot be recognised.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class AccessibilityScenario : public ControllerHarness {
protected:
    AccessibilityScenario()
    {
        defaults.set("kestrelix.troubleshooting", true);
        defaults.set("kestrelix.debugLogging", true);
    }

    // Log lines that quote any of these texts.
    std::vector<std::string> linesQuoting(const std::vector<std::string>& texts)
    {
        std::vector<std::string> found;
        for (const auto& line : logLines())
            for (const auto& text : texts)
                if (line.find(text) != std::string::npos)
                    found.push_back(line);
        return found;
    }
    bool menuHas(const std::string& title) const
    {
        return std::ranges::any_of(statusItem.menu.items, [&](const MenuItem& item) { return item.title == title; });
    }
};

const std::string lostLine =
    "accessibility lost — password fields cannot be recognised; Kestrelix is off until it is back";
const std::string backLine = "accessibility is back — Kestrelix is on again";

// The service goes away mid-word: the word and every key after it pass untouched, nothing is
// judged or recorded, the status item shows the corrector off without opening any window; when
// the service is back the next word is corrected. Each change is logged once.
TEST_F(AccessibilityScenario, OffWhileAccessibilityIsAwayAndOnWhenBack)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cce");
    desk.setAccessibilityReachable(false);
    desk.type("av ");
    desk.type("dhfh ");
    queue.advance(2.5);
    EXPECT_EQ(field().withCaret(), "cceav dhfh |");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    EXPECT_TRUE(linesQuoting({"cceav", "dhfh"}).empty()) << linesQuoting({"cceav", "dhfh"}).front();
    EXPECT_TRUE(app.history().records().empty());
    EXPECT_TRUE(app.typingMemory().words().empty());
    EXPECT_EQ(logLinesStarting("accessibility"), std::vector<std::string>{lostLine});
    ASSERT_TRUE(statusItem.glyph);
    EXPECT_TRUE(statusItem.glyph->slashed);
    EXPECT_EQ(statusItem.menu.items.front().title, "Kestrelix — not running");
    EXPECT_EQ(windows.setups, 0) << "a window would take the focus from the field";

    desk.setAccessibilityReachable(true);
    desk.type("cceav ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "cceav dhfh בבקשה |");
    EXPECT_EQ(logLinesStarting("accessibility"), (std::vector<std::string>{lostLine, backLine}));
    EXPECT_EQ(app.history().records().size(), 1u);
    queue.advance(2.0);
    EXPECT_FALSE(statusItem.glyph->slashed);
    EXPECT_EQ(statusItem.menu.items.front().title, "CORRECTION");
}

// An application that took part in accessibility and answers no more (it stayed on a bus that
// died) is not one without accessibility: its keys pass untouched and nothing of them is written
// down, until another application comes to the front.
TEST_F(AccessibilityScenario, ApplicationThatLeftTheServiceIsLeftAlone)
{
    auto& app = startIn(CorrectionMode::automatic);
    desk.accessibility().leftTheBus.insert(editor.pid);
    desk.type("cceav ");
    queue.advance(2.5);
    EXPECT_EQ(field().withCaret(), "cceav |");
    EXPECT_TRUE(linesQuoting({"cceav", "בבקשה"}).empty()) << linesQuoting({"cceav", "בבקשה"}).front();
    EXPECT_TRUE(app.history().records().empty());

    const sim::SimApplication kate{.id = "org.kde.kate", .name = "Kate", .pid = 401, .electron = false};
    desk.launch(kate);
    desk.activate(kate.id);
    desk.type("cceav ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
    EXPECT_EQ(app.history().records().size(), 1u);
    EXPECT_EQ(logLinesStarting("accessibility"), (std::vector<std::string>{lostLine, backLine}));
}

// Lost and found again between two refreshes, with no key typed meanwhile: the refresh notices
// both, so the log still tells the outage.
TEST_F(AccessibilityScenario, RefreshNoticesAnOutageWithoutKeys)
{
    startIn(CorrectionMode::automatic);
    desk.setAccessibilityReachable(false);
    queue.advance(2.0);
    desk.setAccessibilityReachable(true);
    queue.advance(2.0);
    EXPECT_EQ(logLinesStarting("accessibility"), (std::vector<std::string>{lostLine, backLine}));
    EXPECT_EQ(logLinesStarting("permissions "),
              (std::vector<std::string>{"permissions ax=true im=true  bundlePath=/opt/kestrelix",
                                        "permissions ax=false im=true  bundlePath=/opt/kestrelix",
                                        "permissions ax=true im=true  bundlePath=/opt/kestrelix"}));
}

// In an application that offers no accessibility the word is still corrected, but neither the
// log nor the history holds what was typed, the menu says why, and the diagnostics name it. An
// application that offers accessibility keeps its record as before.
TEST_F(AccessibilityScenario, NothingTypedIsWrittenDownWhereFieldsCannotBeRead)
{
    desk.accessibility().withoutAccessibility.insert(editor.pid);
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    queue.advance(0.5);
    desk.switchLayout("us");
    desk.type("dhfh ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה dhfh |");
    const auto quoting = linesQuoting({"cceav", "בבקשה", "dhfh"});
    EXPECT_TRUE(quoting.empty()) << quoting.front();
    EXPECT_EQ(logLinesStarting("[automatic]"),
              std::vector<std::string>{"[automatic] '…' -> '…'  switch → Hebrew  retro=0  del=6  [synthetic]"});
    EXPECT_TRUE(app.history().records().empty());

    app.rebuildMenu();
    EXPECT_TRUE(menuHas("Password fields can't be recognised in Text Editor"));
    EXPECT_TRUE(menuHas("Swap in Text Editor"));
    app.runDiagnostics();
    const auto diagnostics = logLinesStarting("DIAGNOSTICS ");
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_TRUE(diagnostics[0].ends_with(" frontAppAccessible=false")) << diagnostics[0];

    const sim::SimApplication kate{.id = "org.kde.kate", .name = "Kate", .pid = 401, .electron = false};
    desk.launch(kate);
    desk.activate(kate.id);
    desk.switchLayout("us");
    desk.type("cceav ");
    queue.advance(0.5);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
    ASSERT_EQ(app.history().records().size(), 1u);
    EXPECT_EQ(app.history().records()[0].original, "cceav");
    app.rebuildMenu();
    EXPECT_FALSE(menuHas("Password fields can't be recognised in Kate"));
}

// The lifetime statistics hold no typed text, so a correction counts in them where fields cannot
// be read, while no record of it is kept nor a history file written.
TEST_F(AccessibilityScenario, StatisticsCountWhereFieldsCannotBeRead)
{
    desk.accessibility().withoutAccessibility.insert(editor.pid);
    auto& app = startIn(CorrectionMode::automatic);
    desk.type("cceav ");
    queue.advance(0.5);
    desk.switchLayout("us");
    desk.type("cceav ");
    queue.advance(0.5);
    ASSERT_EQ(field().withCaret(), "בבקשה בבקשה |");
    EXPECT_EQ(app.history().lifetimeWordsFixed(), 2);
    EXPECT_EQ(app.history().lifetimeApps(), std::set<std::string>{editor.id});
    EXPECT_EQ(defaults.integer("kestrelix.lifetimeWordsFixed"), 2);
    EXPECT_TRUE(app.history().records().empty());
    EXPECT_FALSE(std::filesystem::exists(app.history().url()));
}

}  // namespace
}  // namespace kx::test
