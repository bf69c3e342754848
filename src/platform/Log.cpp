#include "platform/Log.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SerialQueue.h"
#include "platform/TimeText.h"

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
#include <utility>
#include <vector>

namespace kx {

namespace {

constexpr mode_t ownerOnly = 0600;

struct LogState {
    std::unique_ptr<SerialQueue> queue = SerialQueue::threaded("Kestrelix.log");
    std::mutex mutex;
    std::optional<std::filesystem::path> file;
    // Entries kept back until the launch empties the log (holdUntilReset).
    bool holding = false;
    std::vector<std::string> held;
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
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    auto seconds = static_cast<std::time_t>(milliseconds / 1000);
    auto fraction = static_cast<int>(milliseconds % 1000);
    if (fraction < 0) {
        fraction += 1000;
        --seconds;
    }
    char ending[16];
    std::snprintf(ending, sizeof ending, ".%03dZ", fraction);
    return timetext::utc(seconds, "%Y-%m-%dT%H:%M:%S") + ending;
}

// The log opened for appending when it is a regular file: never through a link, and never
// waiting on a FIFO. -1 when it is missing or something else.
int openExisting(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        return fd;
    ::close(fd);
    errno = EINVAL;
    return -1;
}

void append(const std::filesystem::path& file, const std::string& entry)
{
    int fd = openExisting(file);
    if (fd < 0 && errno == ENOENT) {
        files::makeParentFolder(file);
        fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, ownerOnly);
        // The umask may have narrowed the mode further; the file is owner-only, readable by its owner.
        if (fd >= 0)
            ::fchmod(fd, ownerOnly);
    }
    if (fd < 0 && errno != EACCES && errno != EROFS) {
        // A link, FIFO or device in the log's place: a new file takes it, nothing is written through.
        files::replaceAtomically(file, "", files::Links::replace);
        fd = openExisting(file);
    }
    if (fd < 0)
        return;
    files::writeAll(fd, entry);
    ::close(fd);
}

}  // namespace

void Log::line(std::string_view message)
{
    std::string entry = timeStamp(std::chrono::system_clock::now());
    entry += "  ";
    entry += message;
    entry += '\n';
    const std::filesystem::path file = url();
    LogState& log = state();
    std::lock_guard lock(log.mutex);
    if (log.holding)
        log.held.push_back(std::move(entry));
    else
        log.queue->async([file, entry = std::move(entry)] { append(file, entry); });
}

void Log::holdUntilReset()
{
    LogState& log = state();
    std::lock_guard lock(log.mutex);
    log.holding = true;
}

void Log::reset()
{
    const std::filesystem::path file = url();
    LogState& log = state();
    std::lock_guard lock(log.mutex);
    log.holding = false;
    // A new owner-only file takes the old one's place: a wider mode, a read-only file or a link
    // left there is replaced, never followed or kept. The entries held for this launch follow.
    log.queue->async([file, held = std::exchange(log.held, {})] {
        files::replaceAtomically(file, "", files::Links::replace);
        for (const std::string& entry : held)
            append(file, entry);
    });
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
    {
        // An exit before the launch reset: what was held is appended rather than lost.
        const std::filesystem::path file = url();
        LogState& log = state();
        std::lock_guard lock(log.mutex);
        log.holding = false;
        if (!log.held.empty()) {
            log.queue->async([file, held = std::exchange(log.held, {})] {
                for (const std::string& entry : held)
                    append(file, entry);
            });
        }
    }
    state().queue->waitUntilIdle();
}

}  // namespace kx
