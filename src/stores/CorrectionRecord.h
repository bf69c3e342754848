#pragma once
// One rewrite the controller made, as the history keeps it, and the history file's JSON form.

#include "stores/Uuid.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

/// What made the rewrite. The text forms are "auto", "retro", "manual", "orphan".
enum class CorrectionKind { auto_, retro, manual, orphan };
/// The user's verdict. The text forms are "none", "up", "down".
enum class Rating { none, up, down };

std::string_view rawValue(CorrectionKind kind);
std::string_view rawValue(Rating rating);
std::optional<CorrectionKind> correctionKindFromRaw(std::string_view raw);
std::optional<Rating> ratingFromRaw(std::string_view raw);

struct CorrectionRecord {
    Uuid id = Uuid::make();
    /// When the rewrite completed; the file keeps whole seconds.
    std::chrono::system_clock::time_point at;
    std::string appName;
    std::string appBundleID;
    std::string original;
    std::string corrected;
    std::string fromLayout;
    std::string toLayout;
    CorrectionKind kind = CorrectionKind::auto_;
    /// Earlier words included; 0 for one word.
    int retroCount = 0;
    Rating rating = Rating::none;
    /// Words typed after the rewrite, at most 3.
    std::vector<std::string> contextAfter;

    bool operator==(const CorrectionRecord&) const = default;
};

/// A JSON array of the records in their order: pretty-printed, keys sorted, dates in ISO 8601 UTC.
std::string encodeHistory(const std::vector<CorrectionRecord>& records);
struct DecodedHistory {
    std::vector<CorrectionRecord> records;
    /// Elements that are no record: a key missing (only contextAfter may be), or an unknown kind
    /// or rating.
    std::size_t dropped = 0;
};

/// The records of a history file, in its order; none when it is not a JSON array. One damaged
/// record costs only itself.
std::optional<DecodedHistory> decodeHistory(std::string_view json);

}  // namespace kx
