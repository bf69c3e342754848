#pragma once
// The session log: one time-stamped line per event, appended in order on its own serial queue.
// Writes never block the caller and never fail loudly; the file is owner-only (0600) and is
// never written through a link.

#include <filesystem>
#include <string_view>

namespace kx {

class Log {
public:
    /// Appends "<ISO 8601 UTC with milliseconds>  <message>\n". Any thread; returns at once.
    static void line(std::string_view message);
    /// Keeps the entries logged from now on in memory until reset() writes them after emptying
    /// the file, so what a launch logs before its reset (a settings file set aside) is not lost.
    static void holdUntilReset();
    /// Empties the file (each launch starts with an empty log), then writes the held entries.
    static void reset();
    /// Deletes the file.
    static void erase();
    /// Where the file is: Paths::shared().logFile() unless a test set another.
    static std::filesystem::path url();
    static void setUrl(const std::filesystem::path& file);
    /// Waits until every queued write has happened (tests, and before exit); held entries are
    /// appended first.
    static void flush();
};

}  // namespace kx
