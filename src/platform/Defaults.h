#pragma once
// The user's settings: typed values under "kestrelix.*" keys. A value stored with another type
// reads as absent ("only a Boolean counts"), with a log line. Thread-safe: the n-gram model reads
// from a worker.

#include "platform/Observable.h"
#include "platform/UnsavedFiles.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace kx {

using StringArray = std::vector<std::string>;
using StringDictionary = std::map<std::string, std::string>;
using DefaultsValue = std::variant<bool, std::int64_t, double, std::string, StringArray, StringDictionary>;

class Defaults {
public:
    virtual ~Defaults() = default;

    std::optional<bool> boolean(const std::string& key) const;
    std::optional<std::int64_t> integer(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
    std::optional<StringArray> stringArray(const std::string& key) const;
    std::optional<StringDictionary> dictionary(const std::string& key) const;
    bool contains(const std::string& key) const { return value(key).has_value(); }

    void set(const std::string& key, DefaultsValue value);
    void remove(const std::string& key);

    /// The raw stored value, whatever its type.
    virtual std::optional<DefaultsValue> value(const std::string& key) const = 0;
    /// False while the stored settings cannot be read: then an absent value may be one that is
    /// stored but unreadable, and nothing may be deleted on its word.
    virtual bool readable() const { return true; }

    /// After settings that could not be read gave way to new ones (set aside, or gone): what the
    /// old ones said no longer counts. Main thread, where settings are written.
    Signal<> unreadableReplaced;

    /// What a stored value is, for a log line: "a Boolean", "a list of strings", ...
    static std::string typeName(const DefaultsValue& value);

protected:
    /// Stores value under key; no value removes the key.
    virtual void store(const std::string& key, std::optional<DefaultsValue> value) = 0;
    /// What is stored under key in a shape no setting has ("a list"), for a log line; none when
    /// nothing such is stored there.
    virtual std::optional<std::string> otherShape(const std::string& /*key*/) const { return std::nullopt; }
    /// The settings were read anew: a value of the wrong type found in them is logged again.
    void forgetReported() const;

private:
    /// The value under key when it has type T. One of another type reads as absent and is logged,
    /// once for each key until the settings are read anew.
    template <typename T>
    std::optional<T> typed(const std::string& key, const char* expected) const;

    mutable std::mutex m_reportedMutex;
    mutable std::set<std::string> m_reported;
};

/// Settings held in memory only (the simulated desktop).
class MemoryDefaults final : public Defaults {
public:
    std::optional<DefaultsValue> value(const std::string& key) const override;

protected:
    void store(const std::string& key, std::optional<DefaultsValue> value) override;

private:
    mutable std::mutex m_mutex;
    std::map<std::string, DefaultsValue> m_values;
};

/// Settings in one JSON object file, rewritten atomically at every change. The file is read again
/// whenever another program changed it, so a setting edited by hand ("kestrelix.ngramOff") is seen
/// at its next use and kept by the next write. A file that cannot be parsed, nests deeper than any
/// setting, is larger than byteLimit or is no regular file is moved aside as
/// "<name>.damaged-<UTC time>" before the next write, and logged, so no setting is silently lost.
class JsonDefaults final : public Defaults {
public:
    /// Far more than every setting together; a larger file is not a settings file.
    static constexpr std::size_t fileByteLimit = 1 << 20;
    /// Settings nest two deep (an object of arrays or dictionaries); room for hand-kept extras.
    static constexpr int depthLimit = 32;

    /// A write that fails is reported to unsaved, which must outlive the object.
    explicit JsonDefaults(std::filesystem::path file, std::size_t byteLimit = fileByteLimit,
                          UnsavedFiles& unsaved = UnsavedFiles::shared());
    std::optional<DefaultsValue> value(const std::string& key) const override;
    bool readable() const override;

protected:
    void store(const std::string& key, std::optional<DefaultsValue> value) override;
    std::optional<std::string> otherShape(const std::string& key) const override;

private:
    /// What tells one version of the file from another; a rewrite changes at least one field.
    struct FileStamp {
        bool exists = false;
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = 0, modified = 0, changed = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp stampOf(const std::filesystem::path& file);

    /// Reads the file again when its stamp differs from the one last read or written.
    void refresh() const;
    void load() const;
    /// True when unreadable settings gave way to the new ones; error: why the file was not written.
    bool write(std::error_code& error);

    mutable std::mutex m_mutex;
    std::filesystem::path m_file;
    std::size_t m_byteLimit;
    UnsavedFiles& m_unsaved;
    // The file's contents as last read or written; reads refresh them, hence mutable.
    mutable FileStamp m_stamp;
    mutable std::map<std::string, DefaultsValue> m_values;
    // Values of shapes no setting uses (numbers in an array, nested objects), kept as JSON text so
    // rewriting the file does not drop them; they read as absent.
    mutable std::map<std::string, std::string> m_foreign;
    mutable bool m_damaged = false;
};

}  // namespace kx
