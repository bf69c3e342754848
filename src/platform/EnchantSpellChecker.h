#pragma once
// The spell checker over Enchant-2: hunspell for every language but Hebrew, which hspell judges
// from a compact structure of its own (a tenth of the Hunspell dictionary's memory). hspell passes
// any Latin word as correct, so it is only ever asked words written in Hebrew letters; a word with
// a letter of another script is misspelled in Hebrew without asking. Enchant converts to each
// dictionary's own encoding. Safe to call from any thread: each language has a broker of its own,
// so a dictionary whose load hangs (a personal word list that is a FIFO) holds up that language
// alone. A checker must outlive every call into it; the shared one is never destroyed, as a load
// may never return.

#include "platform/SpellChecker.h"

#include <map>
#include <memory>
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
        // Enchant's objects are not thread-safe: one call at a time into this language's.
        std::mutex mutex;
        bool requested = false;
        EnchantBroker* broker = nullptr;
        EnchantDict* dict = nullptr;  // none when Enchant has no dictionary for the language
        bool hebrewOnly = false;      // hspell's: asked nothing but Hebrew-script words
    };

    /// The slot of language, made on first use and kept; its dictionary is requested by the
    /// first check, under the slot's own lock.
    Dictionary& slot(const std::string& language);
    void request(Dictionary& dictionary, const std::string& language) const;

    std::mutex m_mutex;  // the map of slots only, never held while Enchant works
    std::vector<std::string> m_languages;
    std::map<std::string, std::unique_ptr<Dictionary>> m_dictionaries;
};

}  // namespace kx::platform
