#pragma once
// The corrections the program made: lifetime statistics in the settings, always counted, and —
// only while troubleshooting mode is on — the records themselves in an owner-only file, newest
// first. Main thread only.

#include "platform/Defaults.h"
#include "platform/Observable.h"
#include "platform/Paths.h"
#include "platform/UnsavedFiles.h"
#include "stores/CorrectionRecord.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kx {

class HistoryStore {
public:
    static constexpr std::size_t cap = 500;
    static constexpr const char* lifetimeKey = "kestrelix.lifetimeWordsFixed";
    static constexpr const char* lifetimeAppsKey = "kestrelix.lifetimeApps";
    static constexpr const char* lifetimeFlaggedKey = "kestrelix.lifetimeFlagged";

    /// Far more than cap records ever take; a larger file is not read.
    static constexpr std::size_t fileByteLimit = 16 << 20;

    /// Why the file is set aside: what is wrong, and what became of its records.
    struct SetAsideReason {
        std::string what;
        std::string detail;
        /// The file reads as a history of ours, damaged perhaps; anything else counts for nothing.
        /// Either goes aside as the path itself: what a link leads to is never moved, written or
        /// deleted.
        bool ours = true;
    };

    /// Loads the file at url and computes the statistics. A file that does not read as a history
    /// of ours (a link to the user's notes, say) is set aside as "<name>.damaged-<time>" and
    /// logged, whatever the mode: it is never written over or deleted, neither now nor later.
    /// Nothing is written or deleted through a link to a history either: with troubleshooting
    /// mode off the link itself is removed, with it on the link goes aside and the records read
    /// through it are written to a file of our own; each is logged.
    /// With troubleshooting mode off a history is deleted after it was counted, unless the
    /// settings cannot be read or hold troubleshooting mode as something other than a Boolean:
    /// then it is kept, not loaded, and set aside before anything would write over or delete it.
    /// With it on, a history that cannot be kept as it is (some records damaged, more than cap
    /// records) is set aside and logged before the records that could be read are written.
    /// defaults and unsaved must outlive the store; a failed write is reported to unsaved.
    HistoryStore(Defaults& defaults, std::filesystem::path url = Paths::shared().historyFile(),
                 std::size_t byteLimit = fileByteLimit, UnsavedFiles& unsaved = UnsavedFiles::shared());

    const std::vector<CorrectionRecord>& records() const { return m_records; }
    std::int64_t lifetimeWordsFixed() const { return m_lifetimeWordsFixed; }
    const std::set<std::string>& lifetimeApps() const { return m_lifetimeApps; }
    std::int64_t lifetimeFlagged() const { return m_lifetimeFlagged; }
    const std::filesystem::path& url() const { return m_url; }

    /// Counts the record; keeps it only while troubleshooting mode is on.
    void add(CorrectionRecord record);
    /// Counts a correction of retroCount + 1 words in the application appID, keeping nothing of
    /// its text: for where what was typed may be a password.
    void count(const std::string& appID, int retroCount);
    /// Ids of records not held are ignored.
    void setRating(Rating rating, const Uuid& id);
    void setContextAfter(std::vector<std::string> words, const Uuid& id);
    /// Drops the records and the file; the statistics stay.
    void clear();
    /// Drops the records, the file and the statistics.
    void eraseEverything();
    /// The plain-text report: header, totals, then the first 200 records.
    std::string report(const std::string& header) const;

    /// After every change of the records or the statistics.
    Signal<> changed;

private:
    /// The statistics part of add and count, without telling changed.
    void countQuietly(const std::string& appID, int retroCount);
    void save();
    /// Deletes the file (a link as the link); one that is not ours, or holds records not in memory,
    /// goes aside instead.
    void deleteFile();
    /// Renames the file aside and logs why; false (and new records unsaved) when it cannot be moved.
    bool setAside(const SetAsideReason& reason);
    /// Sets aside what is at url now when it does not read as a history of ours; false when it
    /// is there still, and so must not be written over or deleted.
    bool setAsideIfForeign();
    bool troubleshootingOn() const;

    Defaults& m_defaults;
    UnsavedFiles& m_unsaved;
    std::filesystem::path m_url;
    std::size_t m_byteLimit;
    std::vector<CorrectionRecord> m_records;
    std::int64_t m_lifetimeWordsFixed = 0;
    std::set<std::string> m_lifetimeApps;
    std::int64_t m_lifetimeFlagged = 0;
    /// The file at m_url holds records that are not in memory; it is set aside before a write.
    std::optional<SetAsideReason> m_setAsideFirst;
    std::unique_ptr<Subscription> m_settingsReplaced;
};

}  // namespace kx
