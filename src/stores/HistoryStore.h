#pragma once
// The corrections the program made: lifetime statistics in the settings, always counted, and —
// only while troubleshooting mode is on — the records themselves in an owner-only file, newest
// first. Main thread only.

#include "platform/Defaults.h"
#include "platform/Observable.h"
#include "platform/Paths.h"
#include "stores/CorrectionRecord.h"

#include <cstdint>
#include <filesystem>
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

    /// Loads the file at url and computes the statistics. With troubleshooting mode off the file is
    /// deleted after it was counted; with it on, a file that cannot be read is set aside as
    /// "<name>.damaged-<time>" and logged, never overwritten. defaults must outlive the store.
    HistoryStore(Defaults& defaults, std::filesystem::path url = Paths::shared().historyFile());

    const std::vector<CorrectionRecord>& records() const { return m_records; }
    std::int64_t lifetimeWordsFixed() const { return m_lifetimeWordsFixed; }
    const std::set<std::string>& lifetimeApps() const { return m_lifetimeApps; }
    std::int64_t lifetimeFlagged() const { return m_lifetimeFlagged; }
    const std::filesystem::path& url() const { return m_url; }

    /// Counts the record; keeps it only while troubleshooting mode is on.
    void add(CorrectionRecord record);
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
    void save();
    void deleteFile();
    /// Renames an unreadable file aside; false (and new records unsaved) when it cannot be moved.
    bool setAsideDamaged();
    bool troubleshootingOn() const;

    Defaults& m_defaults;
    std::filesystem::path m_url;
    std::vector<CorrectionRecord> m_records;
    std::int64_t m_lifetimeWordsFixed = 0;
    std::set<std::string> m_lifetimeApps;
    std::int64_t m_lifetimeFlagged = 0;
    /// The file at m_url could not be read and is still there.
    bool m_damaged = false;
};

}  // namespace kx
