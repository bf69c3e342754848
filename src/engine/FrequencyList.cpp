#include "engine/FrequencyList.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kx {

namespace {

// The length of the line break starting at text[i], or 0. Multi-byte breaks are matched as
// their UTF-8 bytes; text is valid UTF-8, so a match is never inside another character.
std::size_t lineBreakLength(std::string_view text, std::size_t i)
{
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("\r\n"))
        return 2;
    if (rest.starts_with('\n') || rest.starts_with('\r'))
        return 1;
    if (rest.starts_with("\u0085") || rest.starts_with("\u2028") || rest.starts_with("\u2029"))
        return rest[0] == '\xC2' ? 2 : 3;
    return 0;
}

// line without its leading and trailing horizontal white space, as a view into line. The trimmed
// text starts on the first character that is not white space, so its first occurrence is that one.
std::string_view trimmedView(std::string_view line)
{
    const std::string trimmed = text::trimmedWhitespace(line);
    if (trimmed.size() == line.size())
        return line;
    if (trimmed.empty())
        return line.substr(0, 0);
    return line.substr(line.find(trimmed), trimmed.size());
}

}  // namespace

std::optional<std::string> FrequencyList::fileText(const std::string& language, const std::filesystem::path& folder,
                                                   std::size_t byteLimit)
{
    const std::filesystem::path file = folder / ("freq-" + language + ".txt");
    Result<std::string> text = files::readRegular(file, byteLimit);
    if (!text) {
        if (text.error().code != ErrorCode::notFound)
            Log::line("word list " + file.string() + " not used: " + text.error().message);
        return std::nullopt;
    }
    if (!text::isValidUtf8(text.value()))
        return std::nullopt;
    return std::move(text.value());
}

std::vector<std::string_view> FrequencyList::trimmedLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t breakLength = lineBreakLength(text, i);
        if (breakLength == 0) {
            ++i;
            continue;
        }
        lines.push_back(trimmedView(text.substr(start, i - start)));
        i += breakLength;
        start = i;
    }
    // A final line without a break still counts; a break at the very end opens no new line.
    if (start < text.size())
        lines.push_back(trimmedView(text.substr(start)));
    return lines;
}

std::optional<FrequencyList> FrequencyList::load(const std::string& language, const std::filesystem::path& folder,
                                                 std::size_t byteLimit)
{
    auto text = fileText(language, folder, byteLimit);
    // Offsets are 32-bit: a list of 4 GB is no word list.
    if (!text || text->size() > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    FrequencyList list;
    list.m_text = std::move(*text);
    const std::vector<std::string_view> lines = trimmedLines(list.m_text);
    list.m_entries.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        list.m_entries.push_back({.offset = static_cast<std::uint32_t>(lines[i].data() - list.m_text.data()),
                                  .length = static_cast<std::uint32_t>(lines[i].size()),
                                  .rank = static_cast<std::int32_t>(i + 1)});
    }
    if (list.m_entries.empty())
        return std::nullopt;
    // Sorted by word, then by rank, so that the first of equal words holds the word's first line.
    std::sort(list.m_entries.begin(), list.m_entries.end(), [&list](const Entry& a, const Entry& b) {
        const std::string_view wordA = list.word(a);
        const std::string_view wordB = list.word(b);
        return wordA != wordB ? wordA < wordB : a.rank < b.rank;
    });
    const auto sameWord = [&list](const Entry& a, const Entry& b) { return list.word(a) == list.word(b); };
    list.m_entries.erase(std::unique(list.m_entries.begin(), list.m_entries.end(), sameWord), list.m_entries.end());
    list.m_entries.shrink_to_fit();
    return list;
}

std::optional<int> FrequencyList::rank(std::string_view word) const
{
    const auto found = std::lower_bound(m_entries.begin(), m_entries.end(), word,
                                        [this](const Entry& entry, auto w) { return this->word(entry) < w; });
    if (found == m_entries.end() || this->word(*found) != word)
        return std::nullopt;
    return found->rank;
}

}  // namespace kx
