#include "platform/UserLockFile.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kx::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* lockName = "app.kestrelix.instance.:0.lock";

// A runtime folder as the session makes it: the user's own, 0700.
class UserLockFileTest : public ::testing::Test {
protected:
    test::TempFolder m_runtime{"kx-runtime"};
};

// A second holder in this process is refused, told our pid, and gets the file once the first goes.
TEST_F(UserLockFileTest, FileIsFreedWhenItsHolderGoes)
{
    auto first = std::make_unique<UserLockFile>(m_runtime.path());
    ASSERT_EQ(first->tryAcquire(lockName), LockResult::acquired);
    EXPECT_EQ(first->tryAcquire(lockName), LockResult::acquired) << "asking again keeps it";

    UserLockFile second(m_runtime.path());
    EXPECT_EQ(second.tryAcquire(lockName), LockResult::heldElsewhere);
    EXPECT_EQ(second.holderPid(), ::getpid());
    first.reset();
    EXPECT_EQ(second.tryAcquire(lockName), LockResult::acquired);
    EXPECT_EQ(fs::status(m_runtime / lockName).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// Another process holding the file keeps us out, named by its pid, until it dies, even by SIGKILL.
TEST_F(UserLockFileTest, AnotherProcessHoldsItUntilItDies)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UserLockFile lock(m_runtime.path());
        const char answer = lock.tryAcquire(lockName) == LockResult::acquired ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        ::pause();  // until the parent kills it
        ::_exit(0);
    }
    ::close(ready[1]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(answer, 'y');

    UserLockFile mine(m_runtime.path());
    EXPECT_EQ(mine.tryAcquire(lockName), LockResult::heldElsewhere);
    EXPECT_EQ(mine.holderPid(), child);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(mine.tryAcquire(lockName), LockResult::acquired);
}

// Where another user could make or swap the file, or the name leads elsewhere, nothing is locked
// or written: the caller is told it failed, and never that someone holds it.
TEST_F(UserLockFileTest, RefusesFoldersAndFilesOthersCouldPlant)
{
    EXPECT_EQ(UserLockFile(m_runtime / "missing").tryAcquire(lockName), LockResult::failed);

    fs::create_directory(m_runtime / "shared");
    fs::permissions(m_runtime / "shared", fs::perms::all | fs::perms::sticky_bit);
    EXPECT_EQ(UserLockFile(m_runtime / "shared").tryAcquire(lockName), LockResult::failed);
    EXPECT_FALSE(fs::exists(m_runtime / "shared" / lockName));

    fs::create_directory(m_runtime / "real");
    fs::create_directory_symlink(m_runtime / "real", m_runtime / "link");
    EXPECT_EQ(UserLockFile(m_runtime / "link").tryAcquire(lockName), LockResult::failed);

    std::ofstream(m_runtime / "target") << "kept\n";
    fs::create_symlink(m_runtime / "target", m_runtime / lockName);
    EXPECT_EQ(UserLockFile(m_runtime.path()).tryAcquire(lockName), LockResult::failed);
    std::stringstream target;
    target << std::ifstream(m_runtime / "target").rdbuf();
    EXPECT_EQ(target.str(), "kept\n");

    EXPECT_EQ(UserLockFile(m_runtime.path()).tryAcquire(std::string(300, 'x')), LockResult::failed);
}

// A folder of another user is not this user's to lock in, however its mode reads.
TEST_F(UserLockFileTest, RefusesAnotherUsersFolder)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    fs::create_directory(m_runtime / "theirs");
    ASSERT_EQ(::chown((m_runtime / "theirs").c_str(), 65534, 65534), 0);
    ::chmod((m_runtime / "theirs").c_str(), 0700);
    EXPECT_EQ(UserLockFile(m_runtime / "theirs").tryAcquire(lockName), LockResult::failed);
}

}  // namespace
}  // namespace kx::platform
