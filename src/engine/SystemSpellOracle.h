#pragma once
// The oracle over the system spell checker. A language the checker does not know is not
// checkable, not reliable, and every word in it counts as misspelled. Not thread-safe.

#include "engine/LanguageOracle.h"
#include "platform/SpellChecker.h"

#include <optional>
#include <string>
#include <vector>

namespace kx {

class SystemSpellOracle final : public LanguageOracle {
public:
    explicit SystemSpellOracle(platform::SpellChecker& checker = platform::SpellChecker::shared());

    bool canCheck(const std::string& language) override;
    bool isMisspelled(const std::string& word, const std::string& language) override;
    bool isReliable(const std::string& language) override;
    void warmUp(const std::vector<std::string>& languages) override;
    /// Always noList: the spell checker ranks nothing.
    Frequency frequency(const std::string& word, const std::string& language) override;

    /// The checker's language for a layout language code, or none.
    std::optional<std::string> resolve(const std::string& code);

private:
    const std::vector<std::string>& available();
    bool findsMisspelling(const std::string& text, const std::string& checkerLanguage);

    platform::SpellChecker& m_checker;
    std::optional<std::vector<std::string>> m_available;  // fetched once, never refreshed
};

}  // namespace kx
