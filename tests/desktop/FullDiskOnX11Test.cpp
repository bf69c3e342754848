// The real executable with its settings and history on a disk that is full: correcting goes on,
// the files on the disk stay as they were, and one line on standard error and in the log (not one
// per write) says that settings and history are not being saved.

#include "KestrelixFixture.h"

#include <sys/mount.h>
#include <unistd.h>

#include <fstream>

namespace kx {
namespace {

using test::DesktopSession;
using test::fileText;

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A tmpfs of 64 KiB mounted for the test's life and filled to its last block.
class FullDisk {
public:
    explicit FullDisk(std::filesystem::path folder) : m_folder(std::move(folder))
    {
        std::filesystem::create_directories(m_folder);
        m_mounted = ::mount("tmpfs", m_folder.c_str(), "tmpfs", 0, "size=64k,mode=0700") == 0;
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool mounted() const { return m_mounted; }
    void fill() const
    {
        std::ofstream filler(m_folder / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
    }

private:
    std::filesystem::path m_folder;
    bool m_mounted = false;
};

class FullDiskOnX11Test : public test::KestrelixFixture {};

TEST_F(FullDiskOnX11Test, CorrectingGoesOnAndOneLineSaysNothingIsSaved)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a full tmpfs for the settings needs root; run the desktop suite as root to cover it";
    const FullDisk disk(m_home / "full");
    ASSERT_TRUE(disk.mounted()) << "cannot mount a tmpfs on " << (m_home / "full");
    const auto settings = m_home / "full/config/kestrelix/defaults.json";
    const std::string stored = R"({"kestrelix.seenWalkthrough": true})";
    std::filesystem::create_directories(settings.parent_path());
    std::ofstream(settings) << stored;
    disk.fill();

    // The first start offers the login item, which writes a setting: the first failing write.
    const auto errors = m_home / "stderr.txt";
    m_app = DesktopSession::shared().start({"sh", "-c", "exec \"$0\" 2>\"$1\"", KX_EXECUTABLE, errors.string()},
                                           {"XDG_CONFIG_HOME=" + (m_home / "full/config").string(),
                                            "XDG_DATA_HOME=" + (m_home / "full/data").string(),
                                            "XDG_STATE_HOME=" + (m_home / "state").string()});
    ASSERT_GT(m_app, 0);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return log().find("enabled layouts = ") != std::string::npos; }, 30))
        << log();

    // Each correction counts in the statistics, a write of the settings that fails again.
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);
    m_user->typeKeys("cceav ");
    ASSERT_TRUE(field->waitForText("בבקשה ")) << field->text() << '\n' << log();
    m_user->typeKeys("hello ");
    ASSERT_TRUE(field->waitForText("בבקשה hello ")) << field->text() << '\n' << log();

    const std::string line = "defaults: cannot write " + settings.string() +
                             ": No space left on device; settings and history are kept in memory only, until the "
                             "program quits";
    ASSERT_TRUE(DesktopSession::waitFor([&] { return log().find(line) != std::string::npos; }, 2)) << log();
    EXPECT_EQ(occurrences(log(), "cannot write " + settings.string()), 1u) << log();
    // Other programs' libraries may write there too: only ours is counted.
    EXPECT_EQ(occurrences(fileText(errors), "cannot write"), 1u) << fileText(errors);
    EXPECT_EQ(occurrences(fileText(errors), "Kestrelix: " + line + "\n"), 1u) << fileText(errors);
    EXPECT_EQ(fileText(settings), stored);
}

}  // namespace
}  // namespace kx
