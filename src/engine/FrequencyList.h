#pragma once
// One language's word-frequency list, "freq-<lang>.txt" in the resource folder: UTF-8, one word per
// line, most frequent first. A word's rank is its line number, blank lines counted. Immutable once
// loaded: the file's text is kept whole and the words are indexed in place, sorted, so a list costs
// little more than its file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
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
    /// horizontal white space only; the lines are views into text. Blank lines stay, so an index
    /// plus one is a line number.
    static std::vector<std::string_view> trimmedLines(std::string_view text);

    /// The rank of word exactly as written (the first line that holds it), or none.
    std::optional<int> rank(std::string_view word) const;
    /// The number of distinct words.
    std::size_t size() const { return m_entries.size(); }

private:
    struct Entry {
        std::uint32_t offset = 0;  // of the word in m_text
        std::uint32_t length = 0;
        std::int32_t rank = 0;
    };
    std::string_view word(const Entry& entry) const
    {
        return std::string_view(m_text).substr(entry.offset, entry.length);
    }

    std::string m_text;            // the file's text; every word is a piece of it
    std::vector<Entry> m_entries;  // one per distinct word, sorted by word
};

}  // namespace kx
