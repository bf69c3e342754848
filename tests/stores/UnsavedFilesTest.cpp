// Settings and history that cannot be written: the values hold in memory, the files are not
// touched, and one line (not one per write) tells standard error and the log.

#include "StoreTestSupport.h"

#include "platform/Defaults.h"
#include "platform/UnsavedFiles.h"
#include "stores/HistoryStore.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace kx {
namespace {

namespace fs = std::filesystem;

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

struct UnsavedFilesTest : ::testing::Test {
    /// The program's folders become read-only; root writes there all the same, so for root the
    /// settings and the history lie below a regular file instead, which no one can write into.
    void makeUnwritable()
    {
        if (::geteuid() != 0) {
            for (const fs::path& made : {settings.parent_path(), history.parent_path()})
                fs::permissions(made, fs::perms::owner_read | fs::perms::owner_exec);
            return;
        }
        test::StoreFolder::writeText(folder.root / "blocker", "a file where folders should be");
        settings = folder.root / "blocker" / "defaults.json";
        history = folder.root / "blocker" / "history.json";
    }
    void makeWritable()
    {
        if (::geteuid() != 0) {
            for (const fs::path& made : {settings.parent_path(), history.parent_path()})
                fs::permissions(made, fs::perms::owner_all);
        }
    }
    ~UnsavedFilesTest() override { makeWritable(); }

    test::StoreFolder folder;
    fs::path settings = folder.paths.defaultsFile();
    fs::path history = folder.paths.historyFile();
    UnsavedFiles unsaved;
};

TEST_F(UnsavedFilesTest, OneLineForEveryFailingWriteAndTheChangesHold)
{
    fs::create_directories(settings.parent_path());
    fs::create_directories(history.parent_path());
    makeUnwritable();
    int changes = 0;
    const auto subscription = unsaved.changed.subscribe([&changes] { ++changes; });

    ::testing::internal::CaptureStderr();
    JsonDefaults defaults(settings, JsonDefaults::fileByteLimit, unsaved);
    defaults.set("kestrelix.troubleshooting", true);
    HistoryStore store(defaults, history, HistoryStore::fileByteLimit, unsaved);
    for (int i = 0; i < 3; ++i) {
        defaults.set("kestrelix.debugLogging", i % 2 == 0);
        CorrectionRecord record;
        record.appBundleID = "org.example.Mail";
        store.add(record);
    }
    const std::string standardError = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(defaults.boolean("kestrelix.debugLogging"), true);
    EXPECT_EQ(store.records().size(), 3u);
    EXPECT_EQ(store.lifetimeWordsFixed(), 3);
    EXPECT_EQ(occurrences(standardError, "\n"), 1u) << standardError;
    EXPECT_EQ(occurrences(standardError, "Kestrelix: defaults: cannot write " + settings.string() + ": "), 1u)
        << standardError;
    EXPECT_EQ(occurrences(folder.logText(), "cannot write"), 1u) << folder.logText();
    EXPECT_EQ(occurrences(folder.logText(), "settings and history are kept in memory only"), 1u);
    ASSERT_EQ(unsaved.failures().size(), 2u);
    EXPECT_EQ(unsaved.failures()[0].file, settings);
    EXPECT_EQ(unsaved.failures()[1].file, history);
    EXPECT_FALSE(unsaved.failures()[0].reason.empty());
    EXPECT_EQ(changes, 2);
}

// Once the disk takes writes again the files count as saved, and a later failure is told again.
TEST_F(UnsavedFilesTest, SavedAgainAfterAWriteGoesThrough)
{
    const fs::path file = folder.root / "defaults.json";
    unsaved.note("defaults", file, std::make_error_code(std::errc::no_space_on_device));
    unsaved.note("defaults", file, std::make_error_code(std::errc::no_space_on_device));
    ASSERT_EQ(unsaved.failures(), (std::vector<UnsavedFiles::Failure>{{file, "No space left on device"}}));
    unsaved.note("defaults", file, {});
    EXPECT_TRUE(unsaved.failures().empty());
    unsaved.note("defaults", file, std::make_error_code(std::errc::read_only_file_system));
    EXPECT_EQ(occurrences(folder.logText(), "defaults: cannot write " + file.string()), 2u);
    EXPECT_EQ(occurrences(folder.logText(), "Read-only file system"), 1u);
}

}  // namespace
}  // namespace kx
