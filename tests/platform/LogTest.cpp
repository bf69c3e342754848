#include "platform/Log.h"

#include "ScopedLog.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace kx {
namespace {

namespace fs = std::filesystem;

class LogTest : public ::testing::Test {
protected:
    std::string contents() { return log.text(); }
    // The lines with their time stamps removed.
    std::string messages()
    {
        static const std::regex stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z  )", std::regex::multiline);
        return std::regex_replace(contents(), stamp, "");
    }
    fs::perms mode() const { return fs::status(file).permissions() & fs::perms::all; }

    const test::TempFolder folder{"kx-log"};
    const fs::path root = folder.path();
    const fs::path file = root / "state" / "kestrelix" / "kestrelix.log";
    const test::ScopedLog log{file};
    static constexpr fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
};

// Each entry is a UTC stamp with milliseconds, two blanks and the message unchanged.
TEST_F(LogTest, writesStampedLinesInCallOrder)
{
    Log::line("start");
    Log::line("two\nlines");
    Log::line("\u05E9\u05DC\u05D5\u05DD");
    EXPECT_TRUE(std::regex_match(contents(), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z  start\n[^]*)")));
    EXPECT_EQ(messages(), "start\ntwo\nlines\n\u05E9\u05DC\u05D5\u05DD\n");
}

// The folder is made when missing and a new file is owner-only; a reset narrows an older, wider file.
TEST_F(LogTest, fileIsOwnerOnly)
{
    Log::line("first");
    Log::flush();
    EXPECT_EQ(mode(), ownerOnly);

    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    Log::reset();
    Log::line("this launch");
    EXPECT_EQ(messages(), "this launch\n");
    EXPECT_EQ(mode(), ownerOnly);
}

// A reset puts a new file in the log's place: a link found there is replaced, and what it pointed
// to is left as it was.
TEST_F(LogTest, resetReplacesWhatIsThereWithoutFollowingIt)
{
    fs::create_directories(file.parent_path());
    std::ofstream(root / "elsewhere") << "not the log";
    fs::permissions(root / "elsewhere", fs::perms::owner_all | fs::perms::others_read);
    fs::create_symlink(root / "elsewhere", file);

    Log::reset();
    Log::line("this launch");
    EXPECT_EQ(messages(), "this launch\n");
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(mode(), ownerOnly);
    std::ostringstream other;
    other << std::ifstream(root / "elsewhere").rdbuf();
    EXPECT_EQ(other.str(), "not the log");
    EXPECT_EQ(fs::status(root / "elsewhere").permissions() & fs::perms::all,
              fs::perms::owner_all | fs::perms::others_read);
}

// A file deleted while the program runs comes back, owner-only, with the next entry.
TEST_F(LogTest, deletedFileIsRecreated)
{
    Log::line("before");
    Log::flush();
    fs::remove_all(root / "state");
    Log::line("after");
    EXPECT_EQ(messages(), "after\n");
    EXPECT_EQ(mode(), ownerOnly);

    Log::erase();
    Log::flush();
    EXPECT_FALSE(fs::exists(file));
    Log::line("only");
    EXPECT_EQ(messages(), "only\n");
}

// Entries from one thread keep their order while other threads log too.
TEST_F(LogTest, keepsEachThreadsOrder)
{
    std::thread other([] {
        for (int i = 0; i < 200; ++i)
            Log::line("other");
    });
    for (int i = 0; i < 200; ++i)
        Log::line("main " + std::to_string(i));
    other.join();
    std::istringstream lines(messages());
    int next = 0, others = 0;
    for (std::string entry; std::getline(lines, entry);) {
        if (entry == "other")
            ++others;
        else
            EXPECT_EQ(entry, "main " + std::to_string(next++));
    }
    EXPECT_EQ(next, 200);
    EXPECT_EQ(others, 200);
}

// Entries are never written through a link or into a FIFO, reset or not: a new file takes the
// place of whatever is there, and the link's target stays as it was.
TEST_F(LogTest, appendsNeverFollowLinksNorWaitOnFifos)
{
    fs::create_directories(file.parent_path());
    std::ofstream(root / "elsewhere") << "not the log\n";
    fs::create_symlink(root / "elsewhere", file);
    Log::line("command-line run");
    EXPECT_EQ(messages(), "command-line run\n");
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(mode(), ownerOnly);
    std::ostringstream other;
    other << std::ifstream(root / "elsewhere").rdbuf();
    EXPECT_EQ(other.str(), "not the log\n");

    fs::remove(file);
    fs::create_symlink(root / "nowhere", file);  // dangling: creating through it would make nowhere
    Log::line("dangling");
    EXPECT_EQ(messages(), "dangling\n");
    EXPECT_FALSE(fs::exists(root / "nowhere"));

    fs::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    Log::line("after a fifo");
    EXPECT_EQ(messages(), "after a fifo\n");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
}

// What is logged while held comes after the reset that starts the launch, so a line about a file
// set aside while the stores were made is not emptied away; an exit without a reset keeps it too.
TEST_F(LogTest, heldEntriesFollowTheReset)
{
    Log::line("previous launch");
    Log::flush();
    Log::holdUntilReset();
    Log::line("history: set aside");
    Log::flush();
    EXPECT_EQ(messages(), "previous launch\nhistory: set aside\n");

    Log::holdUntilReset();
    Log::line("defaults: set aside");
    Log::reset();
    Log::line("launch");
    EXPECT_EQ(messages(), "defaults: set aside\nlaunch\n");
}

// A file that cannot be written loses its entries silently; logging goes on.
TEST_F(LogTest, unwritableFileIsIgnored)
{
    std::ofstream(root / "blocker") << "";
    Log::setUrl(root / "blocker" / "kestrelix.log");
    Log::reset();
    Log::line("lost");
    Log::erase();
    Log::flush();
    Log::setUrl(file);
    Log::line("kept");
    EXPECT_EQ(messages(), "kept\n");
}

}  // namespace
}  // namespace kx
