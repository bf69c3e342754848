// The typing drill against the real corrector on the simulated desktop, and its timing, report and
// bookkeeping against a recording desktop.

#include "controller/Drill.h"
#include "ControllerHarness.h"
#include "ScopedLog.h"
#include "TempFolder.h"

#include <cstdlib>
#include <ctime>
#include <set>

namespace kx::test {
namespace {

inline const sim::SimApplication drillApp{.id = "kestrelix", .name = "Kestrelix", .pid = 700, .electron = false};

/// The drill's field as the front application's text field of the simulated desktop.
class SimDrillField final : public Drill::Field {
public:
    SimDrillField(sim::SimDesktop& desk, std::string appID) : m_desk(desk), m_appID(std::move(appID)) {}

    std::string text() const override { return m_desk.field(m_appID).text(); }
    void setText(const std::string& text) override { m_desk.field(m_appID).setText(text); }
    void focus() override
    {
        focuses += 1;
        m_desk.activate(m_appID);
    }

    int focuses = 0;

private:
    sim::SimDesktop& m_desk;
    std::string m_appID;
};

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

class DrillOnDesktop : public ControllerHarness {
protected:
    DrillOnDesktop()
    {
        // The history keeps records, which the drill reads, only in troubleshooting mode.
        defaults.set("kestrelix.troubleshooting", true);
        desk.launch(drillApp);
    }

    Drill& makeDrill()
    {
        drill = std::make_unique<Drill>(Drill::Services{.main = &queue,
                                                        .poster = &desk.eventPoster(),
                                                        .inputSources = &desk.inputSources(),
                                                        .history = &controller->history()});
        drill->setField(&drillField);
        return *drill;
    }

    /// Runs the queue until the drill's run is over.
    void runToEnd(double limit = 600)
    {
        for (double spent = 0; drill->running() && spent < limit; spent += 0.5)
            queue.advance(0.5);
        queue.advance(5);
    }

    SimDrillField drillField{desk, drillApp.id};
    std::unique_ptr<Drill> drill;
};

// A whole run types every sentence on the wrong layout, the corrector fixes most, and both reports agree.
TEST_F(DrillOnDesktop, FullRunIsCorrectedAndReported)
{
    startIn(CorrectionMode::automatic);
    auto& drill = makeDrill();
    drill.setPace(Drill::Pace::fluent);
    drill.start(controller->registry());
    ASSERT_TRUE(drill.running());
    runToEnd();

    ASSERT_FALSE(drill.running());
    ASSERT_EQ(drill.outcomes().size(), 70u);
    EXPECT_EQ(drill.done(), 70);
    std::map<std::string, int> groups;
    for (const auto& outcome : drill.outcomes())
        groups[outcome.group] += 1;
    EXPECT_EQ(groups, (std::map<std::string, int>{{"english", 20},
                                                  {"english · apostrophes", 4},
                                                  {"english · capitals", 6},
                                                  {"hebrew", 28},
                                                  {"hebrew · acronyms", 4},
                                                  {"hebrew · punctuation keys", 8}}));
    // Newest first: the English groups were typed last.
    EXPECT_TRUE(drill.outcomes().front().group.starts_with("english"));
    EXPECT_TRUE(drill.outcomes().back().group.starts_with("hebrew"));
    EXPECT_EQ(drill.current(), drill.outcomes().front().intended);

    // The corrector did its work on most of them, and the drill saw it in the history.
    EXPECT_GE(drill.passed(), 50) << drill.reportText();
    std::size_t fires = 0;
    for (const auto& outcome : drill.outcomes())
        fires += outcome.fired.size();
    EXPECT_GE(fires, 50u);
    EXPECT_NE(drill.reportText().find("corrections, "), std::string::npos);

    // The drill's keys are the user's own to the corrector; its rewrites are marked.
    std::set<bool> marks;
    for (const auto& event : desk.eventPoster().posted())
        marks.insert(event.marked);
    EXPECT_EQ(marks, (std::set<bool>{false, true}));

    // The same report, but for the time in its first line.
    const auto afterFirstLine = [](const std::string& report) { return report.substr(report.find('\n')); };
    EXPECT_EQ(afterFirstLine(readFile(Paths::shared().drillReportFile())), afterFirstLine(drill.reportText()));
    EXPECT_EQ(logLinesStarting("drill: "),
              std::vector<std::string>{"drill: " + std::to_string(drill.passed()) + "/70 at fluent pace"});
}

// Hebrew sentences are typed with the English layout selected, English ones with the Hebrew layout.
TEST_F(DrillOnDesktop, SentencesAreTypedOnTheOtherLayout)
{
    desk.setLayouts({"il", "us"});
    startIn(CorrectionMode::manual);
    auto& drill = makeDrill();
    drill.setPace(Drill::Pace::hostile);
    drill.start(controller->registry());
    runToEnd();

    ASSERT_EQ(drill.outcomes().size(), 70u);
    for (const auto& outcome : drill.outcomes()) {
        // Manual mode leaves the text as typed: the intended sentence's keys on the other layout.
        const bool hebrew = outcome.group.starts_with("hebrew");
        const auto expected =
            TranslationEngine::transliterate(outcome.intended, platform::KeyTable::forLayout(hebrew ? "il" : "us"),
                                             platform::KeyTable::forLayout(hebrew ? "us" : "il"));
        EXPECT_EQ(outcome.got, text::trimmed(expected)) << outcome.intended;
        EXPECT_FALSE(outcome.passed());
        EXPECT_TRUE(outcome.fired.empty());
    }
    EXPECT_EQ(drillField.focuses, 70);
}

// The drill declines without a field, a second layout or an English layout, and while it runs.
TEST_F(DrillOnDesktop, StartDeclinesWhenItCannotRun)
{
    startIn(CorrectionMode::automatic);
    auto& drill = makeDrill();
    int changes = 0;
    const auto subscription = drill.changed.subscribe([&] { changes += 1; });

    drill.setField(nullptr);
    drill.start(controller->registry());
    EXPECT_FALSE(drill.running());
    drill.setField(&drillField);

    LayoutRegistry onlyOne = controller->registry();
    onlyOne.layouts.resize(1);
    drill.start(onlyOne);
    EXPECT_FALSE(drill.running());

    LayoutRegistry noEnglish = controller->registry();
    std::erase_if(noEnglish.layouts, [](const auto& layout) { return layout.language().starts_with("en"); });
    drill.start(noEnglish);
    EXPECT_FALSE(drill.running());
    EXPECT_EQ(changes, 0);

    drill.start(controller->registry());
    ASSERT_TRUE(drill.running());
    queue.advance(10);
    const int done = drill.done();
    EXPECT_GT(done, 0);
    drill.start(controller->registry());
    EXPECT_EQ(drill.done(), done);
    EXPECT_EQ(drill.outcomes().size(), static_cast<std::size_t>(done));
}

/// A desktop that records when each key was posted, with a field the test types into itself.
class DrillTiming : public ::testing::Test {
protected:
    class RecordingPoster final : public platform::EventPoster {
    public:
        explicit RecordingPoster(VirtualMainQueue& queue) : m_queue(queue) {}
        bool post(const platform::SyntheticKey& event) override
        {
            events.push_back({m_queue.now(), event});
            if (onPost)
                onPost(event);
            return true;
        }
        struct Posted {
            double at;
            platform::SyntheticKey event;
        };
        std::vector<Posted> events;
        std::function<void(const platform::SyntheticKey&)> onPost;

    private:
        VirtualMainQueue& m_queue;
    };

    class MemoryField final : public Drill::Field {
    public:
        std::string text() const override { return contents; }
        void setText(const std::string& text) override { contents = text; }
        void focus() override {}
        std::string contents;
    };

    DrillTiming()
    {
        sources.setEnabled({"us", "il"});
        registry.refresh();
        defaults.set("kestrelix.troubleshooting", true);
        drill.setField(&field);
    }

    /// The key-downs of the run so far.
    std::vector<RecordingPoster::Posted> downs() const
    {
        std::vector<RecordingPoster::Posted> found;
        for (const auto& posted : poster.events)
            if (posted.event.down)
                found.push_back(posted);
        return found;
    }

    TempFolder folder{"kx-drill"};
    VirtualMainQueue queue;
    sim::SimInputSources sources{queue};
    LayoutRegistry registry{sources};
    MemoryDefaults defaults;
    HistoryStore history{defaults, folder / "history.json"};
    RecordingPoster poster{queue};
    MemoryField field;
    Drill drill{{.main = &queue, .poster = &poster, .inputSources = &sources, .history = &history}};
};

// Each key waits its pace's character or space pause, and a pace change applies from the next key on.
TEST_F(DrillTiming, PausesFollowThePace)
{
    drill.start(registry);
    queue.advance(1.0);
    auto typed = downs();
    ASSERT_GE(typed.size(), 3u);
    // The first sentence waits to settle (0.3 s), then 0.12 s for the focus and 0.15 s for the layout.
    EXPECT_NEAR(typed[0].at, 0.57, 1e-6);
    EXPECT_EQ(sources.currentName(), "us");
    for (const auto& posted : poster.events)
        EXPECT_FALSE(posted.event.marked);
    // Up follows down at once.
    EXPECT_EQ(poster.events[1].at, poster.events[0].at);
    EXPECT_FALSE(poster.events[1].event.down);

    const auto gapAfter = [&](std::size_t index) { return downs()[index + 1].at - downs()[index].at; };
    std::size_t space = 0;
    while (downs()[space].event.code != KeyCode::space)
        space += 1;
    EXPECT_NEAR(gapAfter(0), 0.028, 1e-6);
    queue.advance(2.0);
    EXPECT_NEAR(gapAfter(space), 0.75, 1e-6);

    const double changedAt = queue.now();
    drill.setPace(Drill::Pace::hostile);
    queue.advance(3.0);
    int quickGaps = 0;
    const auto later = downs();
    for (std::size_t i = 1; i < later.size(); ++i) {
        const double gap = later[i].at - later[i - 1].at;
        // Gaps across a sentence boundary include the settle wait.
        if (later[i - 1].at <= changedAt || gap > 0.25)
            continue;
        quickGaps += 1;
        const double expected = later[i - 1].event.code == KeyCode::space ? 0.012 : 0.018;
        EXPECT_NEAR(gap, expected, 1e-6);
    }
    EXPECT_GT(quickGaps, 5);
}

// Corrections are found by the newest record, so they show even once the full history stops growing.
TEST_F(DrillTiming, FiresAreFoundInAFullHistory)
{
    for (std::size_t i = 0; i < HistoryStore::cap; ++i)
        history.add({.original = "old", .corrected = "old"});
    ASSERT_EQ(history.records().size(), HistoryStore::cap);
    int spaces = 0;
    poster.onPost = [&](const platform::SyntheticKey& event) {
        if (event.code != KeyCode::space || !event.down)
            return;
        spaces += 1;
        field.contents += "x ";
        history.add({.original = "aaa kh", .corrected = "  לי\t", .kind = CorrectionKind::retro, .retroCount = 2});
    };
    drill.start(registry);
    while (drill.done() == 0)
        queue.advance(0.1);
    ASSERT_EQ(history.records().size(), HistoryStore::cap);
    const auto& outcome = drill.outcomes().front();
    ASSERT_EQ(outcome.fired.size(), static_cast<std::size_t>(spaces));
    EXPECT_EQ(outcome.fired.front(), (Drill::Fire{"kh", 2, "לי", CorrectionKind::retro}));
    EXPECT_EQ(outcome.fired.front().line(), "'kh' +2 back (retro) → לי");
}

// Stopping reports at once and again after winding down, without the sentence under way or more words.
TEST_F(DrillTiming, StopWritesTheReportTwiceAndDropsTheSentenceUnderWay)
{
    ScopedLog log(folder / "drill.log");
    drill.start(registry);
    while (drill.done() < 2)
        queue.advance(0.05);
    // Stop just after the third sentence's first key, with the rest of its first word to come.
    const std::size_t recorded = poster.events.size();
    while (poster.events.size() == recorded)
        queue.advance(0.001);
    ASSERT_EQ(drill.done(), 2);
    const std::size_t posted = poster.events.size();
    drill.stop();
    EXPECT_FALSE(drill.running());
    // While the old run winds down, a new one would type into it.
    drill.start(registry);
    EXPECT_FALSE(drill.running());
    const std::string first = readFile(Paths::shared().drillReportFile());
    EXPECT_NE(first.find("0/2 passed"), std::string::npos);

    queue.advance(10);
    EXPECT_EQ(drill.outcomes().size(), 2u);
    // The rest of the word and its space, without pauses; then nothing.
    ASSERT_GT(poster.events.size(), posted);
    EXPECT_EQ(poster.events.back().event.code, KeyCode::space);
    EXPECT_EQ(poster.events.back().at, poster.events[posted].at);
    const auto text = log.text();
    std::size_t lines = 0;
    for (std::size_t at = text.find("drill: 0/2 at relaxed pace"); at != std::string::npos;
         at = text.find("drill: 0/2 at relaxed pace", at + 1))
        lines += 1;
    EXPECT_EQ(lines, 2u);

    // A new run can start once the old one has wound down, and starts afresh.
    drill.start(registry);
    EXPECT_TRUE(drill.running());
    EXPECT_TRUE(drill.outcomes().empty());
}

// Nothing recorded means no report and no summary line.
TEST_F(DrillTiming, EmptyRunWritesNothing)
{
    ScopedLog log(folder / "empty.log");
    std::filesystem::remove(Paths::shared().drillReportFile());
    EXPECT_EQ(drill.reportText(), "");
    drill.stop();
    EXPECT_FALSE(std::filesystem::exists(Paths::shared().drillReportFile()));
    EXPECT_EQ(log.text().find("drill:"), std::string::npos);
}

Drill::Outcome outcome(std::string group, std::string intended, std::string got, std::vector<Drill::Fire> fired = {})
{
    return {
        .group = std::move(group), .intended = std::move(intended), .got = std::move(got), .fired = std::move(fired)};
}

// The report lists groups by name, the corrections, the failures and every phrase in the order typed.
TEST(DrillReport, HasItsExactLayout)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string rule = [] {
        std::string line;
        for (int i = 0; i < 52; ++i)
            line += "─";
        return line;
    }();
    // Newest first, as the drill keeps them.
    const std::vector<Drill::Outcome> outcomes = {
        outcome("english", "how are you", "how are you", {{"ouh", 0, "you", CorrectionKind::auto_}}),
        outcome("hebrew · acronyms", "צה״ל", ""),
        outcome("hebrew", "מה שלומך", "מה שלומך", {{"kh", 1, "מה שלומך", CorrectionKind::retro}}),
        outcome("hebrew", "אני לא יודע", "שמט לא יודע", {{"kt", 0, "לא", CorrectionKind::auto_}}),
    };
    const std::string expected = "Kestrelix drill — Mar 1, 2026 at 09:00:00\n"
                                 "pace: hostile · 12 ms after each space, typing through the rewrite · 2/4 passed\n"
                                 "english: 1/1\n"
                                 "hebrew: 1/2\n"
                                 "hebrew · acronyms: 0/1\n"
                                 "\n"
                                 "3 corrections, 1 needed the walk-back\n"
                                 "\n"
                                 "failures\n" +
                                 rule +
                                 "\n"
                                 "[hebrew]\n"
                                 "  want: אני לא יודע\n"
                                 "  got : שמט לא יודע\n"
                                 "  fired: 'kt' → לא\n"
                                 "[hebrew · acronyms]\n"
                                 "  want: צה״ל\n"
                                 "  got : (nothing)\n"
                                 "  fired: nothing\n"
                                 "\n"
                                 "all phrases\n" +
                                 rule +
                                 "\n"
                                 "FAIL אני לא יודע\n"
                                 "       'kt' → לא\n"
                                 "ok   מה שלומך\n"
                                 "       'kh' +1 back (retro) → מה שלומך\n"
                                 "FAIL צה״ל\n"
                                 "ok   how are you\n"
                                 "       'ouh' → you\n";
    EXPECT_EQ(Drill::report(outcomes, Drill::Pace::hostile, 1772355600), expected);

    const std::vector<Drill::Outcome> clean = {outcome("english", "why not", "why not")};
    EXPECT_EQ(Drill::report(clean, Drill::Pace::relaxed, 1772355600),
              "Kestrelix drill — Mar 1, 2026 at 09:00:00\n"
              "pace: relaxed · 750 ms after each space · 1/1 passed\n"
              "english: 1/1\n"
              "\n"
              "no failures\n"
              "\n"
              "all phrases\n" +
                  rule +
                  "\n"
                  "ok   why not\n");
}

// Sentences pass under canonical equivalence, not byte equality; the paces read as the user sees them.
TEST(DrillReport, OutcomesAndPaces)
{
    EXPECT_TRUE(outcome("english", "caf\u00e9", "cafe\u0301").passed());
    EXPECT_FALSE(outcome("english", "Why", "why").passed());
    EXPECT_EQ(Drill::paceFromRaw("fluent"), Drill::Pace::fluent);
    EXPECT_EQ(Drill::paceFromRaw("Fluent"), std::nullopt);
    EXPECT_EQ(Drill::label(Drill::Pace::hostile), "Hostile");
    EXPECT_EQ(Drill::Fire({"", 0, "x", CorrectionKind::orphan}).line(), "'' (orphan) → x");
}

// The plan keeps the groups in order, each shuffled whole, with the right layouts.
TEST(DrillPlan, GroupsInOrderOnTheirLayouts)
{
    const KeyboardLayoutInfo english{.id = "xkb:us", .languages = {"en"}};
    const KeyboardLayoutInfo hebrew{.id = "xkb:il", .languages = {"he"}};
    const auto plan = Drill::plan(english, hebrew);
    ASSERT_EQ(plan.size(), 70u);
    std::vector<std::string> order;
    for (const auto& entry : plan) {
        if (order.empty() || order.back() != entry.group)
            order.push_back(entry.group);
        const bool hebrewKeys = entry.group.starts_with("hebrew");
        EXPECT_EQ(entry.typeOn.id, hebrewKeys ? "xkb:us" : "xkb:il");
        EXPECT_EQ(entry.keysFrom.id, hebrewKeys ? "xkb:il" : "xkb:us");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"hebrew", "hebrew · punctuation keys", "hebrew · acronyms", "english",
                                               "english · capitals", "english · apostrophes"}));
    std::multiset<std::string> planned;
    for (std::size_t i = 0; i < 28; ++i)
        planned.insert(plan[i].text);
    EXPECT_EQ(planned, std::multiset<std::string>(Drill::hebrew.begin(), Drill::hebrew.end()));
}

}  // namespace
}  // namespace kx::test
