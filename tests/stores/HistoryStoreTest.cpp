#include "StoreTestSupport.h"

#include "stores/HistoryStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

namespace kx {
namespace {

using namespace std::chrono_literals;

struct HistoryFixture : ::testing::Test {
    HistoryFixture() { defaults.set("kestrelix.troubleshooting", true); }

    HistoryStore open() { return HistoryStore(defaults, file); }

    static CorrectionRecord record(std::string app, int retroCount = 0)
    {
        CorrectionRecord r;
        r.at = std::chrono::sys_days{std::chrono::March / 1 / 2026} + 9h + 15min + 2s;
        r.appName = app;
        r.appBundleID = "org.example." + app;
        r.original = "ghbdtn";
        r.corrected = "привет";
        r.fromLayout = "English (US)";
        r.toLayout = "Russian";
        r.kind = retroCount > 0 ? CorrectionKind::retro : CorrectionKind::auto_;
        r.retroCount = retroCount;
        return r;
    }

    test::StoreFolder folder;
    MemoryDefaults defaults;
    std::filesystem::path file = folder.paths.historyFile();
};

// With troubleshooting off a correction is only counted: no record kept, no file written.
TEST_F(HistoryFixture, TroubleshootingOffOnlyCounts)
{
    defaults.set("kestrelix.troubleshooting", false);
    HistoryStore history = open();
    history.add(record("Mail", 2));
    history.add(record("Mail"));

    EXPECT_EQ(history.lifetimeWordsFixed(), 4);
    EXPECT_EQ(defaults.integer(HistoryStore::lifetimeKey), 4);
    EXPECT_EQ(defaults.stringArray(HistoryStore::lifetimeAppsKey), StringArray{"org.example.Mail"});
    EXPECT_TRUE(history.records().empty());
    EXPECT_FALSE(std::filesystem::exists(file));
}

// The 501st record pushes out the oldest, in memory and in the owner-only file.
TEST_F(HistoryFixture, KeepsTheNewest500)
{
    std::vector<CorrectionRecord> full;
    for (int i = 499; i >= 0; --i)
        full.push_back(record("App" + std::to_string(i)));
    test::StoreFolder::writeText(file, encodeHistory(full));
    HistoryStore history = open();
    history.add(record("App500"));

    ASSERT_EQ(history.records().size(), 500u);
    EXPECT_EQ(history.records().front().appName, "App500");
    EXPECT_EQ(history.records().back().appName, "App1");
    const auto saved = decodeHistory(test::StoreFolder::readText(file));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->records.size(), 500u);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// Rating down, up, down counts two flags; unknown ids are ignored; records survive a restart.
TEST_F(HistoryFixture, RatingsContextAndReload)
{
    HistoryStore history = open();
    const CorrectionRecord first = record("Mail");
    history.add(first);
    history.setRating(Rating::down, first.id);
    history.setRating(Rating::up, first.id);
    history.setRating(Rating::down, first.id);
    history.setRating(Rating::down, Uuid::make());
    history.setContextAfter({"and", "then"}, first.id);

    EXPECT_EQ(history.lifetimeFlagged(), 2);
    EXPECT_EQ(defaults.integer(HistoryStore::lifetimeFlaggedKey), 2);
    CorrectionRecord expected = first;
    expected.rating = Rating::down;
    expected.contextAfter = {"and", "then"};
    EXPECT_EQ(open().records(), std::vector<CorrectionRecord>{expected});
}

// Statistics stored as 0 are recomputed from the file, even when troubleshooting is off (then the
// file goes); records without contextAfter load with empty lists.
TEST_F(HistoryFixture, StatisticsAreRecomputedFromTheFile)
{
    test::StoreFolder::writeText(file, R"([
      {"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "at": "2026-03-01T09:15:02Z", "appName": "Mail",
       "appBundleID": "a.Mail", "original": "x", "corrected": "y", "fromLayout": "A", "toLayout": "B",
       "kind": "retro", "retroCount": 2, "rating": "down"},
      {"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E60", "at": "2026-03-01T10:15:02+01:00", "appName": "Notes",
       "appBundleID": "a.Notes", "original": "x", "corrected": "y", "fromLayout": "A", "toLayout": "B",
       "kind": "orphan", "retroCount": 0, "rating": "none", "contextAfter": ["z"]}])");
    defaults.set(HistoryStore::lifetimeKey, std::int64_t{0});
    defaults.set(HistoryStore::lifetimeAppsKey, std::string("not a list"));

    {
        const HistoryStore history = open();
        ASSERT_EQ(history.records().size(), 2u);
        EXPECT_TRUE(history.records()[0].contextAfter.empty());
        EXPECT_EQ(history.records()[0].at, history.records()[1].at);
    }
    defaults.set("kestrelix.troubleshooting", false);
    const HistoryStore history = open();
    EXPECT_EQ(history.lifetimeWordsFixed(), 4);
    EXPECT_EQ(history.lifetimeApps(), (std::set<std::string>{"a.Mail", "a.Notes"}));
    EXPECT_EQ(history.lifetimeFlagged(), 1);
    EXPECT_TRUE(history.records().empty());
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(defaults.integer(HistoryStore::lifetimeKey), 0);
}

// A file that cannot be decoded is set aside and logged before anything new is written.
TEST_F(HistoryFixture, DamagedFileIsKept)
{
    const std::string damaged = R"([{"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "kind": "sideways"}])";
    test::StoreFolder::writeText(file, damaged);
    HistoryStore history = open();
    history.add(record("Mail"));

    std::vector<std::filesystem::path> aside;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        if (entry.path().filename().string().starts_with("history.json.damaged-"))
            aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(test::StoreFolder::readText(aside[0]), damaged);
    EXPECT_EQ(decodeHistory(test::StoreFolder::readText(file))->records.size(), 1u);
    EXPECT_NE(folder.logText().find("history: cannot read " + file.string() + "; set aside as " +
                                    aside[0].filename().string()),
              std::string::npos);
}

// Clearing keeps the statistics; erasing everything drops them, their settings and the file.
TEST_F(HistoryFixture, ClearAndEraseEverything)
{
    HistoryStore history = open();
    history.add(record("Mail"));
    history.clear();
    EXPECT_TRUE(history.records().empty());
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(history.lifetimeWordsFixed(), 1);

    history.eraseEverything();
    EXPECT_EQ(history.lifetimeWordsFixed(), 0);
    EXPECT_TRUE(history.lifetimeApps().empty());
    EXPECT_FALSE(defaults.contains(HistoryStore::lifetimeKey));
    EXPECT_FALSE(defaults.contains(HistoryStore::lifetimeAppsKey));
}

// The report's columns count characters as the user sees them: Hebrew with points, emoji sequences.
TEST_F(HistoryFixture, ReportLayout)
{
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    HistoryStore history = open();
    CorrectionRecord hebrew = record("דפדפן־אינטרנט");  // 13 characters: cut to 12
    hebrew.kind = CorrectionKind::retro;
    hebrew.retroCount = 12;
    hebrew.original = "akuo";
    hebrew.corrected = "שלום";
    hebrew.contextAfter = {"מה", "נשמע"};
    CorrectionRecord emoji = record("👨‍👩‍👧 שָׁלוֹם");  // 6 characters: padded to 12
    emoji.kind = CorrectionKind::orphan;
    history.add(emoji);
    history.add(hebrew);
    history.setRating(Rating::down, hebrew.id);
    history.setRating(Rating::up, emoji.id);

    const std::string rule = [] {
        std::string line;
        for (int i = 0; i < 44; ++i)
            line += "—";
        return line;
    }();
    EXPECT_EQ(history.report("Kestrelix 0.1"),
              "Kestrelix 0.1\n\ncorrections: 2 total, 1 flagged 👎\n" + rule + "\n" +
                  "03-01 09:15:02  דפדפן־אינטרנ retro×12  English (US)→Russian  “akuo” → “שלום”  👎 MISSED\n"
                  "    then: “מה” “נשמע”\n"
                  "03-01 09:15:02  👨‍👩‍👧 שָׁלוֹם       orphan    English (US)→Russian  “ghbdtn” → “привет”  "
                  "👍\n");
}

// The report lists 200 records while its totals count all of them.
TEST_F(HistoryFixture, ReportListsAtMost200)
{
    test::StoreFolder::writeText(file, encodeHistory(std::vector<CorrectionRecord>(250, record("App"))));
    const HistoryStore history = open();

    const std::string report = history.report("h");
    EXPECT_NE(report.find("corrections: 250 total, 0 flagged"), std::string::npos);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 4 + 200);
}

}  // namespace
}  // namespace kx
