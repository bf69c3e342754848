#pragma once
// The spell checker over Enchant-2: hunspell for every language but Hebrew, which hspell judges
// from a compact structure of its own (a tenth of the Hunspell dictionary's memory). hspell passes
// any Latin word as correct, so it is only ever asked words written in Hebrew letters; a word with
// a letter of another script is misspelled in Hebrew without asking. Enchant converts to each
// dictionary's own encoding. Safe to call from any thread.

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
    struct Dictionary {
        EnchantDict* dict = nullptr;  // none when Enchant has no dictionary for the language
        bool hebrewOnly = false;      // hspell's: asked nothing but Hebrew-script words
    };

    /// The dictionary of language, requested on first use and kept.
    const Dictionary& dictionary(const std::string& language);

    // One broker for every dictionary: Enchant's objects are not thread-safe, so one call at a time.
    std::mutex m_mutex;
    EnchantBroker* m_broker = nullptr;
    std::vector<std::string> m_languages;
    std::map<std::string, Dictionary> m_dictionaries;
};

}  // namespace kx::platform
