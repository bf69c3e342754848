#include "engine/FrequencyList.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <utility>

namespace kx {

namespace {

constexpr std::size_t expectedWords = 32000;

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

std::vector<std::string> FrequencyList::trimmedLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t breakLength = lineBreakLength(text, i);
        if (breakLength == 0) {
            ++i;
            continue;
        }
        lines.push_back(text::trimmedWhitespace(text.substr(start, i - start)));
        i += breakLength;
        start = i;
    }
    // A final line without a break still counts; a break at the very end opens no new line.
    if (start < text.size())
        lines.push_back(text::trimmedWhitespace(text.substr(start)));
    return lines;
}

std::optional<FrequencyList> FrequencyList::load(const std::string& language, const std::filesystem::path& folder,
                                                 std::size_t byteLimit)
{
    const auto text = fileText(language, folder, byteLimit);
    if (!text)
        return std::nullopt;
    FrequencyList list;
    list.ranks.reserve(expectedWords);
    const std::vector<std::string> lines = trimmedLines(*text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty())
            list.ranks.try_emplace(lines[i], static_cast<int>(i + 1));
    }
    if (list.ranks.empty())
        return std::nullopt;
    return list;
}

}  // namespace kx
