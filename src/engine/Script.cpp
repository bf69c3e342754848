#include "engine/Script.h"

#include "platform/Text.h"

#include <array>
#include <string>
#include <utility>

namespace kx {

namespace {

struct Range {
    char32_t first;
    char32_t last;
};

bool inScript(Script::Value script, char32_t c)
{
    auto in = [c](Range range) { return c >= range.first && c <= range.last; };
    switch (script) {
    case Script::latin:
        return in({U'A', U'Z'}) || in({U'a', U'z'}) || in({0x00C0, 0x024F});
    case Script::cyrillic:
        return in({0x0400, 0x04FF});
    case Script::hebrew:
        return in({0x0590, 0x05FF});
    case Script::greek:
        return in({0x0370, 0x03FF});
    case Script::arabic:
        return in({0x0600, 0x06FF}) || in({0x0750, 0x077F});
    case Script::devanagari:
        return in({0x0900, 0x097F});
    case Script::other:
        return true;
    }
    return false;
}

}  // namespace

bool Script::matches(std::string_view text, double threshold) const
{
    std::size_t letters = 0;
    std::size_t inRange = 0;
    for (const char32_t c : text::toScalars(text)) {
        if (!text::isLetter(c))
            continue;
        ++letters;
        if (inScript(m_value, c))
            ++inRange;
    }
    if (letters == 0)
        return false;
    return double(inRange) / double(letters) >= threshold;
}

Script Script::dominant(std::string_view text)
{
    // The order both of the first matching range and of the tie-break.
    static constexpr std::array<Value, 6> kOrder{hebrew, cyrillic, greek, arabic, devanagari, latin};
    std::array<std::size_t, kOrder.size()> counts{};
    for (const char32_t c : text::toScalars(text)) {
        if (!text::isLetter(c))
            continue;
        for (std::size_t i = 0; i < kOrder.size(); ++i) {
            if (inScript(kOrder[i], c)) {
                ++counts[i];
                break;
            }
        }
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < kOrder.size(); ++i) {
        if (counts[i] > counts[best])
            best = i;
    }
    return counts[best] == 0 ? latin : kOrder[best];
}

Script Script::forLanguage(std::string_view code)
{
    static const std::array<std::pair<std::string_view, Value>, 16> kLanguages{{
        {"he", hebrew},
        {"yi", hebrew},
        {"ru", cyrillic},
        {"uk", cyrillic},
        {"bg", cyrillic},
        {"sr", cyrillic},
        {"mk", cyrillic},
        {"be", cyrillic},
        {"el", greek},
        {"ar", arabic},
        {"fa", arabic},
        {"ur", arabic},
        {"hi", devanagari},
        {"mr", devanagari},
        {"ne", devanagari},
        {"sa", devanagari},
    }};
    std::string prefix;
    const auto characters = text::characters(text::lowercased(code));
    for (std::size_t i = 0; i < characters.size() && i < 2; ++i)
        prefix += characters[i];
    for (const auto& [language, script] : kLanguages) {
        if (language == prefix)
            return script;
    }
    return latin;
}

}  // namespace kx
