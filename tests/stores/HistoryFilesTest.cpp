// The history file when something is wrong with it or with the settings: nothing the user kept is
// lost, and nothing odd on disk hangs or crashes the start.

#include "StoreTestSupport.h"

#include "platform/Log.h"
#include "stores/HistoryStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kx {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<CorrectionRecord> records(int count)
{
    std::vector<CorrectionRecord> made;
    for (int i = count - 1; i >= 0; --i) {
        CorrectionRecord r;
        r.at = std::chrono::sys_days{std::chrono::March / 1 / 2026} + std::chrono::seconds(i);
        r.appName = "App" + std::to_string(i);
        r.appBundleID = "org.example.App" + std::to_string(i % 7);
        r.original = "ghbdtn";
        r.corrected = "привет";
        r.fromLayout = "English (US)";
        r.toLayout = "Russian";
        made.push_back(r);
    }
    return made;
}

struct HistoryFilesTest : ::testing::Test {
    /// The files beside the history whose names begin "history.json.damaged-".
    std::vector<fs::path> setAside() const
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(file.parent_path()))
            if (entry.path().filename().string().starts_with("history.json.damaged-"))
                found.push_back(entry.path());
        return found;
    }
    bool logged(const std::string& text) const { return folder.logText().find(text) != std::string::npos; }

    test::StoreFolder folder;
    fs::path file = folder.paths.historyFile();
    fs::path settings = folder.paths.defaultsFile();
    const std::string hundred = encodeHistory(records(100));
};

// Settings that cannot be read say nothing about troubleshooting mode: the history is left as it
// is (not loaded, not deleted) and the log says why. Only readable settings saying "off" delete it.
TEST_F(HistoryFilesTest, UnreadableSettingsKeepTheHistory)
{
    const std::string damagedSettings[] = {
        R"({"kestrelix.troubleshooting": true,})",  // a trailing comma
        R"({"kestrelix.troubleshooting": tr)",      // half written
    };
    for (const std::string& damaged : damagedSettings) {
        SCOPED_TRACE(damaged);
        test::StoreFolder::writeText(settings, damaged);
        test::StoreFolder::writeText(file, hundred);
        JsonDefaults defaults(settings);
        const HistoryStore history(defaults, file);
        EXPECT_TRUE(history.records().empty());
        EXPECT_EQ(test::StoreFolder::readText(file), hundred);
        EXPECT_EQ(history.lifetimeWordsFixed(), 100);
        EXPECT_TRUE(
            logged("history: the settings cannot be read, so " + file.string() + " is kept as it is, not loaded"));
    }

    test::StoreFolder::writeText(settings, R"({"kestrelix.troubleshooting": false})");
    JsonDefaults defaults(settings);
    {
        const HistoryStore history(defaults, file);
    }
    EXPECT_FALSE(fs::exists(file));
}

// A history kept through unreadable settings goes aside, whole, with them when new settings take
// their place (which would have the next start delete it), and troubleshooting mode turned on
// again starts a new file beside it.
TEST_F(HistoryFilesTest, KeptHistoryGoesAsideWithTheSettings)
{
    test::StoreFolder::writeText(settings, R"({"kestrelix.troubleshooting": true,})");
    test::StoreFolder::writeText(file, hundred);
    JsonDefaults defaults(settings);
    HistoryStore history(defaults, file);
    defaults.set("kestrelix.loginItemOffered", true);

    const auto aside = setAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(test::StoreFolder::readText(aside[0]), hundred);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(logged("history: kept " + file.string() + " while the settings could not be read; set aside as " +
                       aside[0].filename().string()));

    defaults.set("kestrelix.troubleshooting", true);
    history.add(records(1).front());
    EXPECT_EQ(setAside().size(), 1u);
    EXPECT_EQ(decodeHistory(test::StoreFolder::readText(file))->records.size(), 1u);
}

// A settings folder the program may not read (root reads every folder, so the check then runs as
// another user) keeps the history as a damaged settings file does.
TEST_F(HistoryFilesTest, UnreadableSettingsFolderKeepsTheHistory)
{
    test::StoreFolder::writeText(settings, R"({"kestrelix.troubleshooting": true})");
    test::StoreFolder::writeText(file, hundred);
    const auto kept = [this] {
        JsonDefaults defaults(settings);
        const HistoryStore history(defaults, file);
        return !defaults.readable() && fs::exists(file);
    };
    if (::geteuid() != 0) {
        fs::permissions(settings.parent_path(), fs::perms::none);
        const bool wasKept = kept();
        fs::permissions(settings.parent_path(), fs::perms::owner_all);
        EXPECT_TRUE(wasKept);
        return;
    }
    constexpr uid_t nobody = 65534;
    fs::permissions(folder.root, fs::perms::owner_all | fs::perms::others_exec);
    fs::permissions(settings.parent_path(), fs::perms::owner_all);
    for (const fs::path& path : {file.parent_path().parent_path(), file.parent_path(), file})
        ASSERT_EQ(::chown(path.c_str(), nobody, nobody), 0);
    Log::flush();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(::setgid(nobody) == 0 && ::setuid(nobody) == 0 && kept() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test::StoreFolder::readText(file), hundred);
}

// A FIFO is refused at once instead of waited on, and a file past the size limit is not read:
// either is set aside as damaged, and logged.
TEST_F(HistoryFilesTest, OddOrOversizedFilesAreSetAside)
{
    MemoryDefaults defaults;
    defaults.set("kestrelix.troubleshooting", true);
    fs::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    {
        const HistoryStore history(defaults, file);
        EXPECT_TRUE(history.records().empty());
    }
    ASSERT_EQ(setAside().size(), 1u);
    EXPECT_TRUE(fs::is_fifo(setAside()[0]));
    EXPECT_TRUE(logged("history: cannot read " + file.string() + "; set aside as " + setAside()[0].filename().string() +
                       " (not a regular file)"));

    test::StoreFolder::writeText(file, hundred);
    const HistoryStore history(defaults, file, 1024);
    EXPECT_TRUE(history.records().empty());
    EXPECT_EQ(setAside().size(), 2u);
    EXPECT_TRUE(logged("(larger than 1024 bytes)"));
}

// A history file that is a link to a file reading as a history (notes holding "[]", a dotfiles
// repository) is never written or deleted through: with troubleshooting mode off the link itself
// goes, counted first; with it on the link goes aside and the records read through it are
// written to a file of our own. What the link leads to keeps its contents and mode; each is logged.
TEST_F(HistoryFilesTest, LinkToAHistoryIsNeitherWrittenNorDeletedThrough)
{
    const std::string contents[] = {"[]\n", encodeHistory(records(2))};
    const fs::path target = folder.root / "notes.txt";
    fs::create_directories(file.parent_path());
    for (const bool troubleshooting : {false, true}) {
        for (const std::string& text : contents) {
            SCOPED_TRACE(std::to_string(troubleshooting) + " " + text);
            for (const fs::path& old : setAside())
                fs::remove(old);
            fs::remove(file);
            test::StoreFolder::writeText(target, text);
            fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
            fs::create_symlink(target, file);
            MemoryDefaults defaults;
            defaults.set("kestrelix.troubleshooting", troubleshooting);
            const std::size_t held = decodeHistory(text)->records.size();

            HistoryStore history(defaults, file);
            EXPECT_EQ(history.records().size(), troubleshooting ? held : 0u);
            EXPECT_EQ(history.lifetimeWordsFixed(), static_cast<std::int64_t>(held));
            if (troubleshooting) {
                ASSERT_EQ(setAside().size(), 1u);
                EXPECT_EQ(fs::read_symlink(setAside()[0]), target);
                ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
                EXPECT_EQ(decodeHistory(test::StoreFolder::readText(file))->records.size(), held);
                EXPECT_TRUE(logged("history: " + file.string() + " is a link; set aside as " +
                                   setAside()[0].filename().string() + " (a link to " + target.string() +
                                   ", left as it is)"));
                EXPECT_TRUE(logged("history: the records are written to " + file.string() + ", a file of its own"));
            } else {
                EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
                EXPECT_TRUE(setAside().empty());
                EXPECT_TRUE(logged("history: removed the link " + file.string() + " to " + target.string() +
                                   "; what it leads to is left as it is"));
            }
            history.add(records(1).front());
            history.eraseEverything();
            EXPECT_EQ(test::StoreFolder::readText(target), text);
            EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        }
    }
}

// A link put in the history's place while the program runs is removed as the link by clearing
// the history, and set aside before the next record is written; what it leads to is left.
TEST_F(HistoryFilesTest, LinkPutThereWhileRunningIsNotFollowed)
{
    MemoryDefaults defaults;
    defaults.set("kestrelix.troubleshooting", true);
    HistoryStore history(defaults, file);
    const fs::path target = folder.root / "dotfiles" / "history.json";
    const std::string two = encodeHistory(records(2));
    test::StoreFolder::writeText(target, two);
    fs::create_symlink(target, file);

    history.clear();
    EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
    fs::create_symlink(target, file);
    history.add(records(1).front());
    EXPECT_EQ(decodeHistory(test::StoreFolder::readText(file))->records.size(), 1u);
    ASSERT_EQ(setAside().size(), 1u);
    EXPECT_TRUE(fs::is_symlink(setAside()[0]));
    EXPECT_EQ(test::StoreFolder::readText(target), two);
}

// A history file that is a link to some other file of the user's (notes, say) is no history of
// ours: in either mode the link goes aside as a link, its target stays as it was, and the log says
// so; new records then go to a file of their own.
TEST_F(HistoryFilesTest, LinkToAnotherFileIsSetAsideNotFollowed)
{
    const fs::path notes = folder.root / "notes.txt";
    const std::string text = "buy milk\n";
    fs::create_directories(file.parent_path());
    for (const bool troubleshooting : {false, true}) {
        SCOPED_TRACE(troubleshooting);
        for (const fs::path& old : setAside())
            fs::remove(old);
        test::StoreFolder::writeText(notes, text);
        fs::remove(file);
        fs::create_symlink(notes, file);
        MemoryDefaults defaults;
        defaults.set("kestrelix.troubleshooting", troubleshooting);

        HistoryStore history(defaults, file);
        history.add(records(1).front());

        EXPECT_EQ(test::StoreFolder::readText(notes), text);
        const auto aside = setAside();
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_TRUE(fs::is_symlink(aside[0]));
        EXPECT_EQ(fs::read_symlink(aside[0]), notes);
        EXPECT_TRUE(logged("history: cannot read " + file.string() + "; set aside as " + aside[0].filename().string() +
                           " (not a list of records; a link to " + notes.string() + ", left as it is)"));
        EXPECT_EQ(fs::exists(file), troubleshooting);
        EXPECT_FALSE(fs::is_symlink(file));
    }
}

// A file that is not a history (text, JSON of another shape, records of which none reads) is
// set aside whole even with troubleshooting mode off, where a history of ours is deleted.
TEST_F(HistoryFilesTest, FileThatIsNoHistoryIsSetAsideNotDeleted)
{
    MemoryDefaults defaults;
    const std::string foreign[] = {"my diary", R"({"kestrelix": 1})", R"([{"note": "x"}])"};
    fs::create_directories(file.parent_path());
    for (const std::string& contents : foreign) {
        SCOPED_TRACE(contents);
        for (const fs::path& old : setAside())
            fs::remove(old);
        test::StoreFolder::writeText(file, contents);
        {
            const HistoryStore history(defaults, file);
        }
        EXPECT_FALSE(fs::exists(file));
        const auto aside = setAside();
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(test::StoreFolder::readText(aside[0]), contents);
    }
    EXPECT_TRUE(logged("(none of its 1 records could be read)"));

    test::StoreFolder::writeText(file, hundred);
    {
        const HistoryStore history(defaults, file);
    }
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(setAside().size(), 1u);
}

// Something else put at the history's place while the program runs is set aside before the next
// record is written, never written through or over.
TEST_F(HistoryFilesTest, FileReplacedWhileRunningIsNotWrittenOver)
{
    MemoryDefaults defaults;
    defaults.set("kestrelix.troubleshooting", true);
    HistoryStore history(defaults, file);
    history.add(records(1).front());
    ASSERT_TRUE(fs::is_regular_file(file));

    const fs::path notes = folder.root / "notes.txt";
    test::StoreFolder::writeText(notes, "keep me");
    fs::remove(file);
    fs::create_symlink(notes, file);
    history.add(records(1).front());
    history.clear();

    EXPECT_EQ(test::StoreFolder::readText(notes), "keep me");
    ASSERT_EQ(setAside().size(), 1u);
    EXPECT_TRUE(fs::is_symlink(setAside()[0]));
}

// Troubleshooting mode stored as "true" or 1 (valid JSON, wrong type) is off, as only a Boolean
// turns it on, but the history stays, unloaded, and the log says why. Turning the mode off
// again, or on with a first new record, sets the kept records aside rather than deleting them.
TEST_F(HistoryFilesTest, WrongTypedTroubleshootingKeepsTheHistory)
{
    const std::pair<std::string, std::string> stored[] = {{R"("true")", "a string"}, {"1", "an integer"}};
    fs::create_directories(file.parent_path());
    for (const auto& [value, type] : stored) {
        SCOPED_TRACE(value);
        for (const fs::path& old : setAside())
            fs::remove(old);
        test::StoreFolder::writeText(settings, R"({"kestrelix.troubleshooting": )" + value + "}");
        test::StoreFolder::writeText(file, hundred);
        JsonDefaults defaults(settings);
        {
            const HistoryStore history(defaults, file);
            EXPECT_TRUE(history.records().empty());
            EXPECT_EQ(history.lifetimeWordsFixed(), 100);
        }
        EXPECT_EQ(test::StoreFolder::readText(file), hundred);
        EXPECT_TRUE(logged("history: kestrelix.troubleshooting holds " + type +
                           ", not a Boolean, so troubleshooting mode is off and " + file.string() +
                           " is kept as it is, not loaded"));

        HistoryStore history(defaults, file);
        history.clear();
        ASSERT_EQ(setAside().size(), 1u);
        EXPECT_EQ(test::StoreFolder::readText(setAside()[0]), hundred);
    }

    test::StoreFolder::writeText(file, hundred);
    JsonDefaults defaults(settings);
    HistoryStore history(defaults, file);
    defaults.set("kestrelix.troubleshooting", true);
    history.add(records(1).front());
    EXPECT_EQ(setAside().size(), 2u);
    EXPECT_EQ(decodeHistory(test::StoreFolder::readText(file))->records.size(), 1u);
}

// More records than the cap (an older build, a hand edit): the original is set aside whole before
// the newest 500 are kept, so the first correction cuts nothing for good.
TEST_F(HistoryFilesTest, OversizedHistoryIsSetAsideBeforeItIsTrimmed)
{
    MemoryDefaults defaults;
    defaults.set("kestrelix.troubleshooting", true);
    const std::vector<CorrectionRecord> all = records(10000);
    const std::string original = encodeHistory(all);
    test::StoreFolder::writeText(file, original);

    HistoryStore history(defaults, file);
    ASSERT_EQ(history.records().size(), HistoryStore::cap);
    EXPECT_EQ(history.records().front(), all.front());
    history.add(records(1).front());

    const auto aside = setAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(test::StoreFolder::readText(aside[0]), original);
    EXPECT_EQ(decodeHistory(test::StoreFolder::readText(file))->records.size(), HistoryStore::cap);
    EXPECT_TRUE(logged(file.string() + " holds 10000 records, more than 500; set aside as " +
                       aside[0].filename().string() + " (the newest 500 of 10000 records are kept)"));
}

// One record that does not decode costs only itself: the rest load and are written back, the
// original is set aside owner-only, and the log says how many were dropped.
TEST_F(HistoryFilesTest, OneDamagedRecordCostsOnlyItself)
{
    MemoryDefaults defaults;
    defaults.set("kestrelix.troubleshooting", true);
    std::string damaged = hundred;
    const std::size_t kind = damaged.find("\"kind\": \"auto\"", damaged.size() / 2);
    ASSERT_NE(kind, std::string::npos);
    damaged.replace(kind, 14, "\"kind\": \"sideways\"");
    test::StoreFolder::writeText(file, damaged);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);

    const HistoryStore history(defaults, file);
    EXPECT_EQ(history.records().size(), 99u);
    const auto aside = setAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(test::StoreFolder::readText(aside[0]), damaged);
    EXPECT_EQ(fs::status(aside[0]).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(decodeHistory(test::StoreFolder::readText(file))->records, history.records());
    EXPECT_TRUE(logged("history: cannot read 1 of 100 records in " + file.string() + "; set aside as " +
                       aside[0].filename().string() + " (the other 99 are kept)"));
}

// Folders made for the history and the log are owner-only: they hold what the user typed.
TEST_F(HistoryFilesTest, FoldersMadeAreOwnerOnly)
{
    MemoryDefaults defaults;
    {
        const HistoryStore history(defaults, file);
    }
    Log::line("made");
    Log::flush();
    for (const fs::path& made : {file.parent_path(), folder.paths.logFile().parent_path()})
        EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all) << made;
}

}  // namespace
}  // namespace kx
