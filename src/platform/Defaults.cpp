#include "platform/Defaults.h"

#include "platform/Files.h"
#include "platform/Log.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <iterator>
#include <limits>
#include <system_error>

namespace kx {

using Json = nlohmann::json;

namespace {

// The typed value a JSON value stands for, or none when no setting has that shape.
std::optional<DefaultsValue> fromJson(const Json& json)
{
    switch (json.type()) {
    case Json::value_t::boolean:
        return DefaultsValue(json.get<bool>());
    case Json::value_t::number_integer:
        return DefaultsValue(json.get<std::int64_t>());
    case Json::value_t::number_unsigned:
        if (json.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return DefaultsValue(static_cast<std::int64_t>(json.get<std::uint64_t>()));
    case Json::value_t::number_float:
        return DefaultsValue(json.get<double>());
    case Json::value_t::string:
        return DefaultsValue(json.get<std::string>());
    case Json::value_t::array: {
        StringArray strings;
        for (const Json& element : json) {
            if (!element.is_string())
                return std::nullopt;
            strings.push_back(element.get<std::string>());
        }
        return DefaultsValue(std::move(strings));
    }
    case Json::value_t::object: {
        StringDictionary dictionary;
        for (const auto& [key, element] : json.items()) {
            if (!element.is_string())
                return std::nullopt;
            dictionary.emplace(key, element.get<std::string>());
        }
        return DefaultsValue(std::move(dictionary));
    }
    default:
        return std::nullopt;
    }
}

// text parsed as JSON; discarded, with problem set, when it is not JSON or nests deeper than
// depthLimit. The parser itself keeps its own stack, but a kept value that nests without end would
// overflow the call stack when it is written out again.
Json parseBounded(const std::string& text, std::string& problem)
{
    bool tooDeep = false;
    const auto limitDepth = [&tooDeep](int depth, Json::parse_event_t, Json&) {
        if (depth > JsonDefaults::depthLimit)
            tooDeep = true;
        return !tooDeep;
    };
    Json json = Json::parse(text, limitDepth, false);
    if (tooDeep)
        problem = "nested deeper than " + std::to_string(JsonDefaults::depthLimit) + " levels";
    else if (json.is_discarded())
        problem = "not valid JSON";
    return json;
}

Json toJson(const DefaultsValue& value)
{
    return std::visit([](const auto& held) { return Json(held); }, value);
}

using Values = std::map<std::string, DefaultsValue>;

std::optional<DefaultsValue> lookUp(const Values& values, const std::string& key)
{
    const auto found = values.find(key);
    if (found == values.end())
        return std::nullopt;
    return found->second;
}

// No value removes the key.
void assign(Values& values, const std::string& key, std::optional<DefaultsValue> value)
{
    if (value)
        values.insert_or_assign(key, std::move(*value));
    else
        values.erase(key);
}

}  // namespace

std::string Defaults::typeName(const DefaultsValue& value)
{
    constexpr const char* names[] = {"a Boolean", "an integer",        "a number",
                                     "a string",  "a list of strings", "a dictionary of strings"};
    static_assert(std::size(names) == std::variant_size_v<DefaultsValue>);
    return names[value.index()];
}

template <typename T>
std::optional<T> Defaults::typed(const std::string& key, const char* expected) const
{
    const std::optional<DefaultsValue> stored = value(key);
    if (stored) {
        if (const T* held = std::get_if<T>(&*stored))
            return *held;
    }
    const std::optional<std::string> held = stored ? typeName(*stored) : otherShape(key);
    if (!held)
        return std::nullopt;
    // Read at every use by some (the n-gram switch): said once, not at every read.
    bool first = false;
    {
        std::lock_guard lock(m_reportedMutex);
        first = m_reported.insert(key).second;
    }
    if (first)
        Log::line("defaults: " + key + " holds " + *held + ", not " + expected + "; it is ignored");
    return std::nullopt;
}

void Defaults::forgetReported() const
{
    std::lock_guard lock(m_reportedMutex);
    m_reported.clear();
}

std::optional<bool> Defaults::boolean(const std::string& key) const
{
    return typed<bool>(key, "a Boolean");
}

std::optional<std::int64_t> Defaults::integer(const std::string& key) const
{
    return typed<std::int64_t>(key, "an integer");
}

std::optional<std::string> Defaults::string(const std::string& key) const
{
    return typed<std::string>(key, "a string");
}

std::optional<StringArray> Defaults::stringArray(const std::string& key) const
{
    return typed<StringArray>(key, "a list of strings");
}

std::optional<StringDictionary> Defaults::dictionary(const std::string& key) const
{
    return typed<StringDictionary>(key, "a dictionary of strings");
}

void Defaults::set(const std::string& key, DefaultsValue value)
{
    store(key, std::move(value));
}

void Defaults::remove(const std::string& key)
{
    store(key, std::nullopt);
}

std::optional<DefaultsValue> MemoryDefaults::value(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    return lookUp(m_values, key);
}

void MemoryDefaults::store(const std::string& key, std::optional<DefaultsValue> value)
{
    std::lock_guard lock(m_mutex);
    assign(m_values, key, std::move(value));
}

JsonDefaults::JsonDefaults(std::filesystem::path file, std::size_t byteLimit, UnsavedFiles& unsaved)
    : m_file(std::move(file)), m_byteLimit(byteLimit), m_unsaved(unsaved)
{
    load();
}

JsonDefaults::FileStamp JsonDefaults::stampOf(const std::filesystem::path& file)
{
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return {};
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return {.exists = true,
            .device = static_cast<std::uint64_t>(info.st_dev),
            .inode = static_cast<std::uint64_t>(info.st_ino),
            .size = static_cast<std::int64_t>(info.st_size),
            .modified = nanoseconds(info.st_mtim),
            .changed = nanoseconds(info.st_ctim)};
}

void JsonDefaults::refresh() const
{
    if (stampOf(m_file) != m_stamp)
        load();
}

void JsonDefaults::load() const
{
    // Stamped before reading: a change made during the read shows at the next refresh.
    m_stamp = stampOf(m_file);
    const Result<std::string> contents = files::readRegular(m_file, m_byteLimit);
    Json json = Json::object();
    std::string problem;
    if (contents) {
        // An empty file holds no settings; there is nothing to keep aside.
        if (!contents.value().empty())
            json = parseBounded(contents.value(), problem);
    } else if (contents.error().code != ErrorCode::notFound) {
        problem = contents.error().message;
    }
    if (problem.empty() && !json.is_object())
        problem = "not a JSON object";
    if (!problem.empty()) {
        // The settings in memory hold until the file reads again (a hand edit may be half done).
        m_damaged = true;
        Log::line("defaults: cannot read " + m_file.string() + " (" + problem +
                  "); it will be set aside before the next change");
        return;
    }
    m_values.clear();
    m_foreign.clear();
    m_damaged = false;
    forgetReported();
    for (const auto& [key, element] : json.items()) {
        if (auto typedValue = fromJson(element))
            m_values.emplace(key, std::move(*typedValue));
        else
            m_foreign.emplace(key, element.dump());
    }
}

std::optional<DefaultsValue> JsonDefaults::value(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    refresh();
    return lookUp(m_values, key);
}

std::optional<std::string> JsonDefaults::otherShape(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_foreign.find(key);
    if (found == m_foreign.end())
        return std::nullopt;
    switch (Json::parse(found->second, nullptr, false).type()) {
    case Json::value_t::array:
        return "a list with other than strings";
    case Json::value_t::object:
        return "a dictionary with other than strings";
    case Json::value_t::null:
        return "null";
    default:
        return "a number out of range";
    }
}

bool JsonDefaults::readable() const
{
    std::lock_guard lock(m_mutex);
    refresh();
    return !m_damaged;
}

void JsonDefaults::store(const std::string& key, std::optional<DefaultsValue> value)
{
    bool replaced = false;
    std::error_code error;
    {
        std::lock_guard lock(m_mutex);
        // Another program's changes are taken in first, so this write does not undo them.
        refresh();
        m_foreign.erase(key);
        assign(m_values, key, std::move(value));
        replaced = write(error);
        m_stamp = stampOf(m_file);
    }
    m_unsaved.note("defaults", m_file, error);
    if (replaced)
        unreadableReplaced.notify();
}

bool JsonDefaults::write(std::error_code& error)
{
    const bool wasDamaged = m_damaged;
    if (m_damaged) {
        // Keep the unreadable file for the user instead of writing over it.
        // A link goes aside as the link: the file it leads to is the user's, not settings of ours.
        const auto linked = files::linkTarget(m_file);
        std::error_code asideError;
        const std::filesystem::path aside = files::setAside(m_file, asideError);
        if (!asideError) {
            Log::line("defaults: set aside unreadable " + m_file.string() +
                      (linked ? " (a link to " + linked->string() + ", left as it is)" : std::string()) + " as " +
                      aside.filename().string() + "; the settings are now in " + m_file.string());
        } else if (std::error_code gone; std::filesystem::exists(m_file, gone) || gone) {
            // Settings are then kept in memory only, which the caller reports.
            error = asideError;
            return false;
        }
        m_damaged = false;
    }
    Json json = Json::object();
    for (const auto& [key, value] : m_values)
        json[key] = toJson(value);
    for (const auto& [key, text] : m_foreign)
        json[key] = Json::parse(text, nullptr, false);
    const std::string contents = json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    // Reported once for the whole of a failing disk by UnsavedFiles, not at every change.
    error = files::replaceAtomically(m_file, contents);
    return wasDamaged;
}

}  // namespace kx
