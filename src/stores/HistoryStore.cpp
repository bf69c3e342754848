#include "stores/HistoryStore.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/TimeText.h"
#include "stores/BehaviorPrefs.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <utility>
#include <variant>

namespace kx {

namespace {

constexpr std::size_t reportLimit = 200;

struct FileContents {
    bool exists = false;
    /// Every record that decodes, in the file's order.
    std::vector<CorrectionRecord> records;
    /// Why the file cannot stay as it is; none when it can.
    std::optional<HistoryStore::SetAsideReason> problem;
};

FileContents readFile(const std::filesystem::path& url, std::size_t byteLimit)
{
    // Whatever this is, the program did not write it: a link to it goes aside as the link.
    const auto foreign = [&url](std::string detail) {
        return FileContents{.exists = true,
                            .problem =
                                HistoryStore::SetAsideReason{"cannot read " + url.string(), std::move(detail), false}};
    };
    const Result<std::string> contents = files::readRegular(url, byteLimit);
    if (!contents)
        return contents.error().code == ErrorCode::notFound ? FileContents{} : foreign(contents.error().message);
    std::optional<DecodedHistory> decoded = decodeHistory(contents.value());
    if (!decoded)
        return foreign("not a list of records");
    const std::string dropped = std::to_string(decoded->dropped);
    const std::string kept = std::to_string(decoded->records.size());
    if (decoded->dropped > 0 && decoded->records.empty())
        return foreign("none of its " + dropped + " records could be read");
    FileContents file{.exists = true, .records = std::move(decoded->records)};
    if (decoded->dropped > 0) {
        file.problem = {"cannot read " + dropped + " of " + std::to_string(decoded->dropped + file.records.size()) +
                            " records in " + url.string(),
                        "the other " + kept + " are kept"};
    }
    return file;
}

// Pads with blanks or cuts to exactly width characters (grapheme clusters), so Hebrew with points
// and emoji sequences keep the report's columns.
std::string fitted(std::string_view text, std::size_t width)
{
    const std::vector<std::string> characters = text::characters(text);
    std::string out;
    for (std::size_t i = 0; i < std::min(width, characters.size()); ++i)
        out += characters[i];
    if (characters.size() < width)
        out.append(width - characters.size(), ' ');
    return out;
}

std::string kindText(const CorrectionRecord& record)
{
    if (record.kind == CorrectionKind::retro)
        return "retro×" + std::to_string(record.retroCount);
    return std::string(rawValue(record.kind));
}

std::string localStamp(std::chrono::system_clock::time_point at)
{
    return timetext::local(std::chrono::system_clock::to_time_t(at), "%m-%d %H:%M:%S");
}

}  // namespace

HistoryStore::HistoryStore(Defaults& defaults, std::filesystem::path url, std::size_t byteLimit, UnsavedFiles& unsaved)
    : m_defaults(defaults), m_unsaved(unsaved), m_url(std::move(url)), m_byteLimit(byteLimit)
{
    files::makeParentFolder(m_url);

    FileContents file = readFile(m_url, byteLimit);
    bool foreignStays = false;
    if (file.problem && !file.problem->ours) {
        // Not a history: it counts for nothing, and it must not be lost with one.
        foreignStays = !setAside(*file.problem);
        file = {};
    }
    const std::vector<CorrectionRecord>& fileRecords = file.records;
    const std::optional<DefaultsValue> troubleshooting = m_defaults.value(BehaviorPrefs::troubleshootingKey);
    if (troubleshootingOn()) {
        m_records = fileRecords;
        if (m_records.size() > cap) {
            // An older build or a hand edit: the original stays whole beside the trimmed file.
            const std::string held = std::to_string(m_records.size()) + " records";
            if (!file.problem)
                file.problem = {m_url.string() + " holds " + held + ", more than " + std::to_string(cap), ""};
            file.problem->detail += std::string(file.problem->detail.empty() ? "" : "; ") + "the newest " +
                                    std::to_string(cap) + " of " + held + " are kept";
            m_records.resize(cap);
        }
        // A link in the history's place goes aside at once and the records read through it are
        // written to a file of our own, so the user's file behind the link is never written.
        if (file.problem ? setAside(*file.problem) && !m_records.empty() : files::linkTarget(m_url).has_value())
            save();
    } else if (file.exists && !m_defaults.readable()) {
        // Troubleshooting mode may well be on in the settings that cannot be read.
        Log::line("history: the settings cannot be read, so " + m_url.string() + " is kept as it is, not loaded");
        m_setAsideFirst = SetAsideReason{"kept " + m_url.string() + " while the settings could not be read", ""};
        // New settings would say troubleshooting is off and have the next start delete the file:
        // it goes aside with the settings it belonged to.
        m_settingsReplaced = m_defaults.unreadableReplaced.subscribe([this] {
            if (m_setAsideFirst && setAsideIfForeign() && m_setAsideFirst)
                setAside(*m_setAsideFirst);
        });
    } else if (file.exists && troubleshooting && !std::holds_alternative<bool>(*troubleshooting)) {
        // Only a Boolean turns troubleshooting mode on, but "true" or 1 written by hand says what
        // the user meant well enough that their history must not go for it.
        const std::string held = Defaults::typeName(*troubleshooting);
        Log::line("history: " + std::string(BehaviorPrefs::troubleshootingKey) + " holds " + held +
                  ", not a Boolean, so troubleshooting mode is off and " + m_url.string() +
                  " is kept as it is, not loaded");
        m_setAsideFirst =
            SetAsideReason{"kept " + m_url.string() + " while troubleshooting mode was stored as " + held, ""};
    } else if (!foreignStays) {
        deleteFile();
    }

    m_lifetimeWordsFixed = m_defaults.integer(lifetimeKey).value_or(0);
    if (m_lifetimeWordsFixed <= 0) {
        m_lifetimeWordsFixed = 0;
        for (const CorrectionRecord& record : fileRecords)
            m_lifetimeWordsFixed += record.retroCount + 1;
    }
    if (const auto apps = m_defaults.stringArray(lifetimeAppsKey)) {
        m_lifetimeApps.insert(apps->begin(), apps->end());
    } else {
        for (const CorrectionRecord& record : fileRecords)
            m_lifetimeApps.insert(record.appBundleID);
    }
    m_lifetimeFlagged = m_defaults.integer(lifetimeFlaggedKey).value_or(0);
    if (m_lifetimeFlagged <= 0) {
        m_lifetimeFlagged = std::count_if(fileRecords.begin(), fileRecords.end(),
                                          [](const CorrectionRecord& r) { return r.rating == Rating::down; });
    }
}

bool HistoryStore::troubleshootingOn() const
{
    return m_defaults.boolean(BehaviorPrefs::troubleshootingKey).value_or(false);
}

bool HistoryStore::setAside(const SetAsideReason& reason)
{
    std::string detail = reason.detail;
    if (const auto linked = files::linkTarget(m_url))
        detail += (detail.empty() ? "" : "; ") + std::string("a link to ") + linked->string() + ", left as it is";
    detail = detail.empty() ? "" : " (" + detail + ")";
    std::error_code error;
    const std::filesystem::path aside = files::setAside(m_url, error);
    if (!error) {
        Log::line("history: " + reason.what + "; set aside as " + aside.filename().string() + detail);
        m_setAsideFirst.reset();
        return true;
    }
    if (error == std::errc::no_such_file_or_directory) {
        // Gone meanwhile: nothing is left to keep.
        m_setAsideFirst.reset();
        return true;
    }
    Log::line("history: " + reason.what + detail + "; cannot set it aside (" + error.message() +
              "), so new records are kept in memory only");
    m_setAsideFirst = reason;
    return false;
}

bool HistoryStore::setAsideIfForeign()
{
    // The file may have been replaced since it was read: by then it need not be ours.
    const FileContents now = readFile(m_url, m_byteLimit);
    return !now.problem || now.problem->ours || setAside(*now.problem);
}

void HistoryStore::deleteFile()
{
    if (!setAsideIfForeign())
        return;
    // Records kept unread were never shown, so turning troubleshooting mode off did not let them go.
    if (m_setAsideFirst) {
        setAside(*m_setAsideFirst);
        return;
    }
    // A link goes, never what it leads to: that is the user's, wherever it is kept.
    if (const auto linked = files::linkTarget(m_url)) {
        std::error_code error;
        std::filesystem::remove(m_url, error);
        Log::line("history: " + (error ? "cannot remove (" + error.message() + ") " : std::string("removed ")) +
                  "the link " + m_url.string() + " to " + linked->string() + "; what it leads to is left as it is");
        return;
    }
    files::erase(m_url);
}

void HistoryStore::save()
{
    if (!setAsideIfForeign())
        return;
    // The file holds records that are not in memory: it is the user's only copy of them.
    if (m_setAsideFirst && !setAside(*m_setAsideFirst))
        return;
    // Nothing is written through a link: it goes aside, and the records go to a file of our own.
    if (files::linkTarget(m_url)) {
        if (!setAside({m_url.string() + " is a link", "", false}))
            return;
        Log::line("history: the records are written to " + m_url.string() + ", a file of its own");
    }
    // A failed write leaves the previous file whole; the records stay in memory.
    m_unsaved.note("history", m_url, files::replaceAtomically(m_url, encodeHistory(m_records), files::Links::replace));
}

void HistoryStore::add(CorrectionRecord record)
{
    countQuietly(record.appBundleID, record.retroCount);
    if (troubleshootingOn()) {
        m_records.insert(m_records.begin(), std::move(record));
        if (m_records.size() > cap)
            m_records.erase(m_records.begin() + cap, m_records.end());
        save();
    }
    changed.notify();
}

void HistoryStore::count(const std::string& appID, int retroCount)
{
    countQuietly(appID, retroCount);
    changed.notify();
}

void HistoryStore::countQuietly(const std::string& appID, int retroCount)
{
    m_lifetimeWordsFixed += retroCount + 1;
    m_defaults.set(lifetimeKey, m_lifetimeWordsFixed);
    if (m_lifetimeApps.insert(appID).second)
        m_defaults.set(lifetimeAppsKey, StringArray(m_lifetimeApps.begin(), m_lifetimeApps.end()));
}

void HistoryStore::setRating(Rating rating, const Uuid& id)
{
    const auto found =
        std::find_if(m_records.begin(), m_records.end(), [&](const CorrectionRecord& r) { return r.id == id; });
    if (found == m_records.end())
        return;
    if (rating == Rating::down && found->rating != Rating::down) {
        ++m_lifetimeFlagged;
        m_defaults.set(lifetimeFlaggedKey, m_lifetimeFlagged);
    }
    found->rating = rating;
    save();
    changed.notify();
}

void HistoryStore::setContextAfter(std::vector<std::string> words, const Uuid& id)
{
    const auto found =
        std::find_if(m_records.begin(), m_records.end(), [&](const CorrectionRecord& r) { return r.id == id; });
    if (found == m_records.end())
        return;
    found->contextAfter = std::move(words);
    save();
    changed.notify();
}

void HistoryStore::clear()
{
    m_records.clear();
    deleteFile();
    changed.notify();
}

void HistoryStore::eraseEverything()
{
    m_records.clear();
    m_lifetimeWordsFixed = 0;
    m_lifetimeApps.clear();
    m_lifetimeFlagged = 0;
    m_defaults.remove(lifetimeKey);
    m_defaults.remove(lifetimeAppsKey);
    m_defaults.remove(lifetimeFlaggedKey);
    // Everything: records kept unread too, though never what is not a history of ours.
    m_setAsideFirst.reset();
    deleteFile();
    changed.notify();
}

std::string HistoryStore::report(const std::string& header) const
{
    const auto flagged = std::count_if(m_records.begin(), m_records.end(),
                                       [](const CorrectionRecord& r) { return r.rating == Rating::down; });
    std::string out = header + "\n\ncorrections: " + std::to_string(m_records.size()) + " total, " +
                      std::to_string(flagged) + " flagged 👎\n";
    for (int i = 0; i < 44; ++i)
        out += "—";
    out += "\n";
    const std::size_t shown = std::min(reportLimit, m_records.size());
    for (std::size_t i = 0; i < shown; ++i) {
        const CorrectionRecord& r = m_records[i];
        out += localStamp(r.at) + "  " + fitted(r.appName, 12) + " " + fitted(kindText(r), 9) + " " + r.fromLayout +
               "→" + r.toLayout + "  “" + r.original + "” → “" + r.corrected + "”  ";
        if (r.rating == Rating::up)
            out += "👍";
        else if (r.rating == Rating::down)
            out += "👎 MISSED";
        out += "\n";
        if (!r.contextAfter.empty()) {
            out += "    then:";
            for (const std::string& word : r.contextAfter)
                out += " “" + word + "”";
            out += "\n";
        }
    }
    return out;
}

}  // namespace kx
