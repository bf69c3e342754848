#include "platform/Files.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace kx {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
protected:
    static void write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
    static std::string read(const fs::path& file)
    {
        std::ostringstream text;
        text << std::ifstream(file, std::ios::binary).rdbuf();
        return text.str();
    }
    static fs::perms mode(const fs::path& path) { return fs::symlink_status(path).permissions() & fs::perms::all; }

    const test::TempFolder folder{"kx-files"};
    const fs::path root = folder.path();
};

// Only a regular file within the limit is read; a FIFO, a device, a folder or a file past the limit
// is refused at once, and a missing file is told apart from the rest.
TEST_F(FilesTest, readsOnlyRegularFilesWithinTheLimit)
{
    write(root / "ten", "0123456789");
    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", root / "zero");
    fs::create_symlink(root / "ten", root / "link");

    struct Row {
        const char* name;
        std::size_t limit;
        std::optional<std::string> contents;
        ErrorCode error = ErrorCode::io;
    };
    const Row rows[] = {
        {"ten", 10, "0123456789"},
        {"link", 10, "0123456789"},  // a link to a regular file reads as the file
        {"ten", 9, std::nullopt, ErrorCode::invalidInput},
        {"fifo", 1 << 20, std::nullopt, ErrorCode::invalidInput},  // would wait for a writer forever
        {"zero", 1 << 20, std::nullopt, ErrorCode::invalidInput},  // would read until memory runs out
        {".", 1 << 20, std::nullopt, ErrorCode::invalidInput},
        {"missing", 10, std::nullopt, ErrorCode::notFound},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " limit " + std::to_string(row.limit));
        const Result<std::string> result = files::readRegular(root / row.name, row.limit);
        if (row.contents) {
            ASSERT_TRUE(result.ok()) << result.error().message;
            EXPECT_EQ(result.value(), *row.contents);
        } else {
            ASSERT_FALSE(result.ok());
            EXPECT_EQ(result.error().code, row.error);
        }
    }
    EXPECT_EQ(files::readRegular(root / "ten", 9).error().message, "larger than 9 bytes");
    EXPECT_EQ(files::readRegular(root / "fifo", 9).error().message, "not a regular file");
}

// A write through a link lands in the link's target and keeps the link (a dotfiles repository);
// a link to something other than a regular file, or any link under Links::replace, is replaced.
TEST_F(FilesTest, writesThroughLinksToRegularFilesOnly)
{
    fs::create_directories(root / "dotfiles");
    write(root / "dotfiles" / "settings.json", "old");
    fs::create_symlink("dotfiles/settings.json", root / "settings.json");
    ASSERT_FALSE(files::replaceAtomically(root / "settings.json", "new"));
    EXPECT_TRUE(fs::is_symlink(root / "settings.json"));
    EXPECT_EQ(read(root / "dotfiles" / "settings.json"), "new");
    EXPECT_EQ(mode(root / "dotfiles" / "settings.json"), fs::perms::owner_read | fs::perms::owner_write);

    // A link whose target was removed brings the target back.
    fs::create_symlink(root / "dotfiles" / "history.json", root / "history.json");
    ASSERT_FALSE(files::replaceAtomically(root / "history.json", "records"));
    EXPECT_TRUE(fs::is_symlink(root / "history.json"));
    EXPECT_EQ(read(root / "dotfiles" / "history.json"), "records");

    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
    fs::create_symlink(root / "fifo", root / "to-fifo");
    ASSERT_FALSE(files::replaceAtomically(root / "to-fifo", "plain"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root / "to-fifo")));
    EXPECT_TRUE(fs::is_fifo(root / "fifo"));

    write(root / "elsewhere", "kept");
    fs::create_symlink(root / "elsewhere", root / "log");
    ASSERT_FALSE(files::replaceAtomically(root / "log", "", files::Links::replace));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root / "log")));
    EXPECT_EQ(read(root / "elsewhere"), "kept");
}

// A file set aside keeps its contents under a time-stamped name, owner-only whatever its mode was;
// a link moves as the link, and what it leads to stays where and as it is.
TEST_F(FilesTest, setAsideIsOwnerOnlyAndMovesLinksAsLinks)
{
    write(root / "defaults.json", "{,");
    fs::permissions(root / "defaults.json", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    std::error_code error;
    const fs::path aside = files::setAside(root / "defaults.json", error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_TRUE(aside.filename().string().starts_with("defaults.json.damaged-"));
    EXPECT_EQ(read(aside), "{,");
    EXPECT_EQ(mode(aside), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(root / "defaults.json"));

    fs::create_directories(root / "dotfiles");
    write(root / "dotfiles" / "history.json", "[");
    fs::create_symlink(root / "dotfiles" / "history.json", root / "history.json");
    fs::permissions(root / "dotfiles" / "history.json", fs::perms::owner_all | fs::perms::others_read);
    const fs::path link = files::setAside(root / "history.json", error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_EQ(link.parent_path(), root);
    EXPECT_EQ(fs::read_symlink(link), root / "dotfiles" / "history.json");
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "history.json")));
    EXPECT_EQ(read(root / "dotfiles" / "history.json"), "[");
    EXPECT_EQ(mode(root / "dotfiles" / "history.json"), fs::perms::owner_all | fs::perms::others_read);

    // Erasing a link removes the link alone.
    fs::create_symlink(root / "dotfiles" / "history.json", root / "linked");
    files::erase(root / "linked");
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "linked")));
    EXPECT_EQ(read(root / "dotfiles" / "history.json"), "[");

    // A FIFO is moved aside as it is.
    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
    const fs::path fifo = files::setAside(root / "fifo", error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// Every folder made on the way to a file is owner-only; folders that were there keep their mode.
TEST_F(FilesTest, foldersMadeAreOwnerOnly)
{
    fs::create_directories(root / "home");
    fs::permissions(root / "home", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    files::makeParentFolder(root / "home" / ".local" / "state" / "kestrelix" / "kestrelix.log");
    for (const fs::path& made : {root / "home" / ".local", root / "home" / ".local" / "state",
                                 root / "home" / ".local" / "state" / "kestrelix"})
        EXPECT_EQ(mode(made), fs::perms::owner_all) << made;
    EXPECT_EQ(mode(root / "home"), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

}  // namespace
}  // namespace kx
