#pragma once
// The oracle over the word-frequency lists. A language whose list loads can be checked and is
// reliable, and a ranked word is never misspelled; every other question goes to the fallback (the
// spell-checker oracle). Lists load on first need, once per language key; a failed load is
// remembered and not retried. Not thread-safe.

#include "engine/FrequencyList.h"
#include "engine/LanguageOracle.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kx {

class FrequencyOracle final : public LanguageOracle {
public:
    /// fallback must outlive the oracle. With no bundle every question goes to the fallback.
    FrequencyOracle(LanguageOracle& fallback, std::optional<std::filesystem::path> bundle);

    /// The process's resource folder, looked up once; none, logged once, when there is none.
    static std::optional<std::filesystem::path> resourceBundle();
    /// Replaces the process's resource folder (tests bring their own lists).
    static void setResourceBundle(std::optional<std::filesystem::path> folder);

    bool canCheck(const std::string& language) override;
    bool isMisspelled(const std::string& word, const std::string& language) override;
    bool isReliable(const std::string& language) override;
    void warmUp(const std::vector<std::string>& languages) override;
    Frequency frequency(const std::string& word, const std::string& language) override;

    /// The list key of a language code: lower-cased, cut to two characters ("he_IL" -> "he").
    static std::string key(const std::string& language);

private:
    /// The loaded list of key, loading it on first need; none when it does not load.
    const FrequencyList* list(const std::string& key);

    LanguageOracle& m_fallback;
    std::optional<std::filesystem::path> m_bundle;
    std::map<std::string, std::optional<FrequencyList>> m_lists;  // none: the load failed
};

}  // namespace kx
