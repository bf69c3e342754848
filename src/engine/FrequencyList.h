#pragma once
// One language's word-frequency list, "freq-<lang>.txt" in the resource folder: UTF-8, one word per
// line, most frequent first. A word's rank is its line number, blank lines counted.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx {

class FrequencyList {
public:
    /// Several times the largest list shipped; a larger file is refused, quickly, and logged.
    static constexpr std::size_t fileByteLimit = 64 << 20;

    /// The list of language (a two-letter key) in folder; none when the file is missing,
    /// unreadable, no regular file, larger than byteLimit, not UTF-8 or holds no word.
    static std::optional<FrequencyList> load(const std::string& language, const std::filesystem::path& folder,
                                             std::size_t byteLimit = fileByteLimit);

    /// The whole text of the list file of language in folder; none when it is missing, not UTF-8,
    /// or refused as load() refuses it. The character model reads the same files.
    static std::optional<std::string> fileText(const std::string& language, const std::filesystem::path& folder,
                                               std::size_t byteLimit = fileByteLimit);
    /// text split at every line break (LF, CR, CR LF, U+0085, U+2028, U+2029), each line trimmed of
    /// horizontal white space only. Blank lines stay, so an index plus one is a line number.
    static std::vector<std::string> trimmedLines(std::string_view text);

    std::unordered_map<std::string, int> ranks;  // word as written -> its first line number
};

}  // namespace kx
