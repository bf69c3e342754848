#pragma once
// The system spell checker: which languages it knows and whether a text holds a misspelled word.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::platform {

class SpellChecker {
public:
    virtual ~SpellChecker() = default;

    /// The process-wide checker over the desktop's dictionaries.
    static SpellChecker& shared();

    /// The languages with a dictionary, named as the checker names them ("en_US", "he_IL"), in its order.
    virtual std::vector<std::string> availableLanguages() = 0;
    /// The byte offset in text of its first misspelled word in language, or none when every word
    /// passes (a text without words passes). A language without a dictionary passes everything.
    virtual std::optional<std::size_t> checkSpelling(std::string_view text, const std::string& language) = 0;
};

}  // namespace kx::platform
