#include "platform/Files.h"

#include "platform/TimeText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace kx::files {

namespace {

// As many links as the kernel itself follows before it gives up with ELOOP.
constexpr int maxLinkHops = 40;

std::error_code lastError()
{
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

void makeFolders(const std::filesystem::path& folder)
{
    struct stat info {};
    if (folder.empty() || folder == folder.parent_path() || ::stat(folder.c_str(), &info) == 0)
        return;
    makeFolders(folder.parent_path());
    ::mkdir(folder.c_str(), 0700);
}

// Where a chain of symbolic links starting at file ends; none when file is no link, or the chain
// loops or cannot be read.
std::optional<std::filesystem::path> linkEnd(const std::filesystem::path& file)
{
    std::filesystem::path at = file;
    for (int hop = 0; hop <= maxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return hop == 0 ? std::nullopt : std::optional(at);
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(at, error);
        if (error)
            return std::nullopt;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return std::nullopt;
}

// The path a write of file replaces: the end of its links when that is a regular file or nothing
// yet, else file itself.
std::filesystem::path writtenPath(const std::filesystem::path& file, Links links)
{
    if (links == Links::replace)
        return file;
    const auto end = linkEnd(file);
    if (!end)
        return file;
    struct stat info {};
    if (::lstat(end->c_str(), &info) != 0)
        return errno == ENOENT ? *end : file;
    return S_ISREG(info.st_mode) ? *end : file;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

Error readError(int code)
{
    // A regular file where a folder of the path should be: no such file either.
    const ErrorCode kind = code == ENOENT || code == ENOTDIR ? ErrorCode::notFound
                           : code == EACCES || code == EPERM ? ErrorCode::denied
                                                             : ErrorCode::io;
    return {kind, std::error_code(code, std::generic_category()).message()};
}

}  // namespace

void makeParentFolder(const std::filesystem::path& file)
{
    makeFolders(file.parent_path());
}

bool writeAll(int fd, std::string_view data)
{
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

std::error_code replaceAtomically(const std::filesystem::path& file, std::string_view contents, Links links)
{
    makeParentFolder(file);
    const std::filesystem::path target = writtenPath(file, links);
    std::string temporary = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return lastError();
    std::error_code error;
    if (::fchmod(fd, 0600) != 0 || !writeAll(fd, contents) || ::fsync(fd) != 0)
        error = lastError();
    if (::close(fd) != 0 && !error)
        error = lastError();
    if (!error && std::rename(temporary.c_str(), target.c_str()) != 0)
        error = lastError();
    if (error)
        ::unlink(temporary.c_str());
    return error;
}

std::filesystem::path setAside(const std::filesystem::path& file, std::error_code& error)
{
    // 20260301T091502Z: sorts by time, and has no colons, which some file managers and shares refuse.
    const std::string stamp =
        timetext::utc(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()), "%Y%m%dT%H%M%SZ");
    std::filesystem::path aside = file;
    aside += ".damaged-" + stamp;
    for (int attempt = 2; std::filesystem::exists(std::filesystem::symlink_status(aside, error)); ++attempt) {
        aside = file;
        aside += ".damaged-" + stamp + "-" + std::to_string(attempt);
    }
    std::filesystem::rename(file, aside, error);
    if (error)
        return {};
    // The copy holds what the user typed, whatever mode the file had.
    if (struct stat info{}; ::lstat(aside.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        ::chmod(aside.c_str(), 0600);
    return aside;
}

void erase(const std::filesystem::path& file)
{
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& file)
{
    std::error_code error;
    std::filesystem::path target = std::filesystem::read_symlink(file, error);
    if (error)
        return std::nullopt;
    return target;
}

Result<std::string> readRegular(const std::filesystem::path& file, std::size_t byteLimit)
{
    // Non-blocking, so opening a FIFO with no writer returns at once instead of waiting for one.
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return readError(errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return readError(errno);
    if (!S_ISREG(info.st_mode))
        return Error{ErrorCode::invalidInput, "not a regular file"};
    const std::string tooLarge = "larger than " + std::to_string(byteLimit) + " bytes";
    if (static_cast<std::uintmax_t>(info.st_size) > byteLimit)
        return Error{ErrorCode::invalidInput, tooLarge};
    std::string contents;
    contents.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    // One byte past the limit shows a file that grew while it was read.
    while (got <= byteLimit) {
        if (got == contents.size())
            contents.resize(std::min(byteLimit + 1, std::max<std::size_t>(got * 2, 4096)));
        const ssize_t n = ::read(fd.get(), contents.data() + got, contents.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return readError(errno);
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > byteLimit)
        return Error{ErrorCode::invalidInput, tooLarge};
    contents.resize(got);
    // Looking for the end past the file's size doubled the buffer; callers keep what they read
    // (the word lists for the whole session), so the slack goes.
    contents.shrink_to_fit();
    return contents;
}

}  // namespace kx::files
