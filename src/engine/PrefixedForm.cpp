#include "engine/PrefixedForm.h"

#include "platform/Text.h"

#include <algorithm>
#include <array>

namespace kx {

namespace {

// Hebrew: and, the, in, to, from, that, as. Arabic: the, and, so, with, to, as, will, and "to the"
// (lām before the article, which then loses its alif).
constexpr std::array<std::string_view, 7> hebrewPrefixes{"ו", "ה", "ב", "ל", "מ", "ש", "כ"};
constexpr std::array<std::string_view, 8> arabicPrefixes{"ال", "لل", "و", "ف", "ب", "ل", "ك", "س"};
constexpr int maxPrefixes = 3;
// Two letters behind a prefix make a word of almost any three-letter string.
constexpr std::size_t minStem = 3;

template <std::size_t N>
void strip(std::string_view word, const std::array<std::string_view, N>& prefixes, int depth,
           std::vector<std::string>& stems)
{
    if (depth == maxPrefixes)
        return;
    for (std::string_view prefix : prefixes) {
        if (!word.starts_with(prefix))
            continue;
        const std::string_view rest = word.substr(prefix.size());
        if (text::characterCount(rest) < minStem)
            continue;
        if (std::find(stems.begin(), stems.end(), rest) == stems.end())
            stems.emplace_back(rest);
        strip(rest, prefixes, depth + 1, stems);
    }
}

}  // namespace

std::vector<std::string> PrefixedForm::stems(std::string_view word, const std::string& language)
{
    std::vector<std::string> stems;
    if (language == "he")
        strip(word, hebrewPrefixes, 0, stems);
    else if (language == "ar")
        strip(word, arabicPrefixes, 0, stems);
    std::stable_sort(stems.begin(), stems.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return stems;
}

}  // namespace kx
