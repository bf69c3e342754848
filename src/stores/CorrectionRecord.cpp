#include "stores/CorrectionRecord.h"

#include "platform/TimeText.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <ctime>
#include <limits>

namespace kx {

using Json = nlohmann::json;

namespace {

constexpr std::array<std::string_view, 4> kindTexts = {"auto", "retro", "manual", "orphan"};
constexpr std::array<std::string_view, 3> ratingTexts = {"none", "up", "down"};

// 2026-03-01T09:15:02Z
std::string isoDate(std::chrono::system_clock::time_point time)
{
    const auto seconds = std::chrono::floor<std::chrono::seconds>(time);
    return timetext::utc(std::chrono::system_clock::to_time_t(seconds), "%Y-%m-%dT%H:%M:%SZ");
}

// Internet date-time: a date, "T", a time with optional fraction, and "Z" or an offset.
std::optional<std::chrono::system_clock::time_point> parseIsoDate(const std::string& text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second,
                    &consumed) != 6 ||
        consumed != 19)
        return std::nullopt;
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60)
        return std::nullopt;
    std::size_t at = 19;
    std::chrono::nanoseconds fraction{0};
    if (at < text.size() && text[at] == '.') {
        long long scale = 100'000'000;
        std::size_t digits = 0;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
            fraction += std::chrono::nanoseconds((text[at] - '0') * scale);
            scale /= 10;
        }
        if (digits == 0)
            return std::nullopt;
    }
    int offsetMinutes = 0;
    if (text.substr(at) == "Z") {
        at += 1;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int offsetHours = 0, offsetMins = 0, used = 0;
        if (std::sscanf(text.c_str() + at + 1, "%2d:%2d%n", &offsetHours, &offsetMins, &used) != 2 || used != 5)
            return std::nullopt;
        offsetMinutes = (text[at] == '+' ? 1 : -1) * (offsetHours * 60 + offsetMins);
        at += 6;
    }
    if (at != text.size())
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const std::time_t t = timegm(&utc);
    return std::chrono::system_clock::from_time_t(t) - std::chrono::minutes(offsetMinutes) +
           std::chrono::duration_cast<std::chrono::system_clock::duration>(fraction);
}

Json toJson(const CorrectionRecord& record)
{
    // nlohmann's object keeps its keys sorted, as the file wants.
    return Json{
        {"id", record.id.text()},
        {"at", isoDate(record.at)},
        {"appName", record.appName},
        {"appBundleID", record.appBundleID},
        {"original", record.original},
        {"corrected", record.corrected},
        {"fromLayout", record.fromLayout},
        {"toLayout", record.toLayout},
        {"kind", rawValue(record.kind)},
        {"retroCount", record.retroCount},
        {"rating", rawValue(record.rating)},
        {"contextAfter", record.contextAfter},
    };
}

std::optional<std::string> stringAt(const Json& object, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string())
        return std::nullopt;
    return found->get<std::string>();
}

std::optional<CorrectionRecord> fromJson(const Json& object)
{
    if (!object.is_object())
        return std::nullopt;
    CorrectionRecord record;
    const auto id = stringAt(object, "id");
    const auto at = stringAt(object, "at");
    const auto kind = stringAt(object, "kind");
    const auto rating = stringAt(object, "rating");
    if (!id || !at || !kind || !rating)
        return std::nullopt;
    const auto uuid = Uuid::parse(*id);
    const auto date = parseIsoDate(*at);
    const auto kindValue = correctionKindFromRaw(*kind);
    const auto ratingValue = ratingFromRaw(*rating);
    if (!uuid || !date || !kindValue || !ratingValue)
        return std::nullopt;
    record.id = *uuid;
    record.at = *date;
    record.kind = *kindValue;
    record.rating = *ratingValue;

    const std::pair<const char*, std::string*> texts[] = {
        {"appName", &record.appName},     {"appBundleID", &record.appBundleID}, {"original", &record.original},
        {"corrected", &record.corrected}, {"fromLayout", &record.fromLayout},   {"toLayout", &record.toLayout},
    };
    for (const auto& [key, field] : texts) {
        auto text = stringAt(object, key);
        if (!text)
            return std::nullopt;
        *field = std::move(*text);
    }

    const auto retro = object.find("retroCount");
    if (retro == object.end() || !retro->is_number_integer())
        return std::nullopt;
    const auto count = retro->get<std::int64_t>();
    if (count < std::numeric_limits<int>::min() || count > std::numeric_limits<int>::max())
        return std::nullopt;
    record.retroCount = static_cast<int>(count);

    if (const auto after = object.find("contextAfter"); after != object.end()) {
        if (!after->is_array())
            return std::nullopt;
        for (const Json& word : *after) {
            if (!word.is_string())
                return std::nullopt;
            record.contextAfter.push_back(word.get<std::string>());
        }
    }
    return record;
}

}  // namespace

std::string_view rawValue(CorrectionKind kind)
{
    return kindTexts[static_cast<std::size_t>(kind)];
}

std::string_view rawValue(Rating rating)
{
    return ratingTexts[static_cast<std::size_t>(rating)];
}

std::optional<CorrectionKind> correctionKindFromRaw(std::string_view raw)
{
    for (std::size_t i = 0; i < kindTexts.size(); ++i)
        if (kindTexts[i] == raw)
            return static_cast<CorrectionKind>(i);
    return std::nullopt;
}

std::optional<Rating> ratingFromRaw(std::string_view raw)
{
    for (std::size_t i = 0; i < ratingTexts.size(); ++i)
        if (ratingTexts[i] == raw)
            return static_cast<Rating>(i);
    return std::nullopt;
}

std::string encodeHistory(const std::vector<CorrectionRecord>& records)
{
    Json array = Json::array();
    for (const CorrectionRecord& record : records)
        array.push_back(toJson(record));
    // Typed text can hold broken UTF-8; replacing it keeps the rest of the history writable.
    return array.dump(2, ' ', false, Json::error_handler_t::replace);
}

std::optional<DecodedHistory> decodeHistory(std::string_view json)
{
    const Json parsed = Json::parse(json, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array())
        return std::nullopt;
    DecodedHistory history;
    history.records.reserve(parsed.size());
    for (const Json& element : parsed) {
        if (auto record = fromJson(element))
            history.records.push_back(std::move(*record));
        else
            ++history.dropped;
    }
    return history;
}

}  // namespace kx
