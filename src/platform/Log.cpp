#include "platform/Log.h"

#include "platform/Paths.h"
#include "platform/SerialQueue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

namespace kx {

namespace {

constexpr mode_t ownerOnly = 0600;

struct LogState {
    std::unique_ptr<SerialQueue> queue = SerialQueue::threaded("Kestrelix.log");
    std::mutex mutex;
    std::optional<std::filesystem::path> file;
};

// Never destroyed: a line logged from another static's destructor or a late thread at exit must
// still find the queue. The application flushes before it exits.
LogState& state()
{
    static LogState* instance = new LogState;
    return *instance;
}

// 2026-03-01T09:15:02.347Z
std::string timeStamp(std::chrono::system_clock::time_point time)
{
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    auto seconds = static_cast<std::time_t>(milliseconds / 1000);
    auto fraction = static_cast<int>(milliseconds % 1000);
    if (fraction < 0) {
        fraction += 1000;
        --seconds;
    }
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &utc);
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%s.%03dZ", date, fraction);
    return stamp;
}

void makeFolder(const std::filesystem::path& file)
{
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
}

void writeAll(int fd, const std::string& data)
{
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        written += static_cast<std::size_t>(n);
    }
}

void append(const std::filesystem::path& file, const std::string& entry)
{
    int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        makeFolder(file);
        fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, ownerOnly);
        if (fd < 0)
            return;
        // The umask may have narrowed the mode further; the file is owner-only, readable by its owner.
        ::fchmod(fd, ownerOnly);
    }
    writeAll(fd, entry);
    ::close(fd);
}

void recreateEmpty(const std::filesystem::path& file)
{
    makeFolder(file);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, ownerOnly);
    if (fd < 0)
        return;
    // An older file keeps its wider mode through O_CREAT; narrow it.
    ::fchmod(fd, ownerOnly);
    ::close(fd);
}

}  // namespace

void Log::line(std::string_view message)
{
    std::string entry = timeStamp(std::chrono::system_clock::now());
    entry += "  ";
    entry += message;
    entry += '\n';
    state().queue->async([file = url(), entry = std::move(entry)] { append(file, entry); });
}

void Log::reset()
{
    state().queue->async([file = url()] { recreateEmpty(file); });
}

void Log::erase()
{
    state().queue->async([file = url()] {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    });
}

std::filesystem::path Log::url()
{
    LogState& log = state();
    std::lock_guard lock(log.mutex);
    return log.file ? *log.file : Paths::shared().logFile();
}

void Log::setUrl(const std::filesystem::path& file)
{
    LogState& log = state();
    std::lock_guard lock(log.mutex);
    log.file = file;
}

void Log::flush()
{
    state().queue->waitUntilIdle();
}

}  // namespace kx
