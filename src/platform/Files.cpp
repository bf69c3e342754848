#include "platform/Files.h"

#include "platform/TimeText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

namespace kx::files {

namespace {

std::error_code lastError()
{
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

}  // namespace

void makeParentFolder(const std::filesystem::path& file)
{
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
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

std::error_code replaceAtomically(const std::filesystem::path& file, std::string_view contents)
{
    makeParentFolder(file);
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return lastError();
    std::error_code error;
    if (::fchmod(fd, 0600) != 0 || !writeAll(fd, contents) || ::fsync(fd) != 0)
        error = lastError();
    if (::close(fd) != 0 && !error)
        error = lastError();
    if (!error && std::rename(temporary.c_str(), file.c_str()) != 0)
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
    for (int attempt = 2; std::filesystem::exists(aside, error); ++attempt) {
        aside = file;
        aside += ".damaged-" + stamp + "-" + std::to_string(attempt);
    }
    std::filesystem::rename(file, aside, error);
    return error ? std::filesystem::path() : aside;
}

}  // namespace kx::files
