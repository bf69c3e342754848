#pragma once
// The session log: one time-stamped line per event, appended in order on its own serial queue.
// Writes never block the caller and never fail loudly; the file is owner-only (0600).

#include <filesystem>
#include <string_view>

namespace kx {

class Log {
public:
    /// Appends "<ISO 8601 UTC with milliseconds>  <message>\n". Any thread; returns at once.
    static void line(std::string_view message);
    /// Empties the file (each launch starts with an empty log).
    static void reset();
    /// Deletes the file.
    static void erase();
    /// Where the file is: Paths::shared().logFile() unless a test set another.
    static std::filesystem::path url();
    static void setUrl(const std::filesystem::path& file);
    /// Waits until every queued write has happened (tests, and before exit).
    static void flush();
};

}  // namespace kx
