#include "platform/Log.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SerialQueue.h"
#include "platform/TimeText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    char ending[16];
    std::snprintf(ending, sizeof ending, ".%03dZ", fraction);
    return timetext::utc(seconds, "%Y-%m-%dT%H:%M:%S") + ending;
}

void append(const std::filesystem::path& file, const std::string& entry)
{
    int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        files::makeParentFolder(file);
        fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, ownerOnly);
        if (fd < 0)
            return;
        // The umask may have narrowed the mode further; the file is owner-only, readable by its owner.
        ::fchmod(fd, ownerOnly);
    }
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
    state().queue->async([file = url(), entry = std::move(entry)] { append(file, entry); });
}

void Log::reset()
{
    // A new owner-only file takes the old one's place: a wider mode, a read-only file or a link
    // left there is replaced, never followed or kept.
    state().queue->async([file = url()] { files::replaceAtomically(file, ""); });
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
