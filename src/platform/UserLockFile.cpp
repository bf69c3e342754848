#include "platform/UserLockFile.h"

#include "platform/Files.h"
#include "platform/Log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace kx::platform {

namespace {

// Where other users can create or replace files, they could take the lock first or swap it.
bool isOwnPrivateFolder(const std::filesystem::path& folder)
{
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int pidIn(int fd)
{
    char text[32] = {};
    const ssize_t length = ::pread(fd, text, sizeof text - 1, 0);
    int pid = 0;
    if (length > 0)
        std::from_chars(text, text + length, pid);
    return pid > 0 ? pid : 0;
}

}  // namespace

UserLockFile::UserLockFile(std::filesystem::path folder) : m_folder(std::move(folder)) {}

UserLockFile::~UserLockFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

LockResult UserLockFile::tryAcquire(const std::string& fileName)
{
    if (m_fd >= 0)
        return fileName == m_heldName ? LockResult::acquired : LockResult::failed;
    m_holderPid = 0;
    if (!isOwnPrivateFolder(m_folder)) {
        Log::line("instance lock: no lock file: " + m_folder.string() + " is missing or not this user's own");
        return LockResult::failed;
    }
    const std::filesystem::path file = m_folder / fileName;
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Log::line("instance lock: cannot open " + file.string() + ": " + std::strerror(fd < 0 ? errno : EINVAL));
        if (fd >= 0)
            ::close(fd);
        return LockResult::failed;
    }
    // A lock on an open file description: another UserLockFile of this process is kept out too.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK)
            m_holderPid = pidIn(fd);
        else
            Log::line("instance lock: cannot lock " + file.string() + ": " + std::strerror(error));
        ::close(fd);
        return error == EWOULDBLOCK ? LockResult::heldElsewhere : LockResult::failed;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || !files::writeAll(fd, pid))
        Log::line("instance lock: cannot write the pid into " + file.string());
    m_fd = fd;
    m_heldName = fileName;
    return LockResult::acquired;
}

}  // namespace kx::platform
