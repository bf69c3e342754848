#pragma once
// Hebrew and Arabic write their short words for "and", "the", "in", "to", "from", "that", "as"
// joined to the next word, so a frequency list of plain forms lacks most words as they appear in
// running text. This takes such prefixes off a word. Stateless, any thread.

#include <string>
#include <string_view>
#include <vector>

namespace kx {

class PrefixedForm {
public:
    /// What is left of word after one to three joined prefixes of language (a two-letter list key:
    /// "he" or "ar") are taken off its front, longest remainder first, each of at least three
    /// characters; empty for other languages.
    static std::vector<std::string> stems(std::string_view word, const std::string& language);
};

}  // namespace kx
