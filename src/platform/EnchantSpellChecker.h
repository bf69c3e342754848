#pragma once
// The spell checker over Enchant-2. Hunspell is preferred for every language: hspell, Enchant's
// usual choice for Hebrew, passes Latin words as correct. Enchant converts to each dictionary's
// own encoding. Safe to call from any thread.

#include "platform/SpellChecker.h"

#include <map>
#include <mutex>

typedef struct str_enchant_broker EnchantBroker;
typedef struct str_enchant_dict EnchantDict;

namespace kx::platform {

class EnchantSpellChecker final : public SpellChecker {
public:
    EnchantSpellChecker();
    ~EnchantSpellChecker() override;
    EnchantSpellChecker(const EnchantSpellChecker&) = delete;
    EnchantSpellChecker& operator=(const EnchantSpellChecker&) = delete;

    std::vector<std::string> availableLanguages() override;
    std::optional<std::size_t> checkSpelling(std::string_view text, const std::string& language) override;

private:
    /// The dictionary of language, requested on first use and kept; none when Enchant has none.
    EnchantDict* dictionary(const std::string& language);

    std::mutex m_mutex;
    EnchantBroker* m_broker = nullptr;
    std::vector<std::string> m_languages;
    std::map<std::string, EnchantDict*> m_dictionaries;
};

}  // namespace kx::platform
