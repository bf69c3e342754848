#include "engine/SystemSpellOracle.h"

#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kx {

namespace {

// Languages whose spell checking is too weak to drive a conversion on its own.
constexpr std::array<std::string_view, 8> unreliable = {"hi", "mr", "ne", "sa", "kok", "brx", "mai", "doi"};

bool isUnreliable(const std::string& code)
{
    const std::string lower = text::lowercased(code);
    // Two-letter codes compare by their first two letters; the three-letter entries by the
    // primary language subtag ("kok_IN" -> "kok").
    const std::string firstTwo = lower.substr(0, 2);
    const std::string primary = lower.substr(0, lower.find_first_of("_-"));
    return std::find(unreliable.begin(), unreliable.end(), firstTwo) != unreliable.end() ||
           std::find(unreliable.begin(), unreliable.end(), primary) != unreliable.end();
}

}  // namespace

SystemSpellOracle::SystemSpellOracle(platform::SpellChecker& checker) : m_checker(checker) {}

const std::vector<std::string>& SystemSpellOracle::available()
{
    if (!m_available)
        m_available = m_checker.availableLanguages();
    return *m_available;
}

std::optional<std::string> SystemSpellOracle::resolve(const std::string& code)
{
    if (code.empty())
        return std::nullopt;
    const std::vector<std::string>& languages = available();
    if (std::find(languages.begin(), languages.end(), code) != languages.end())
        return code;
    for (const std::string& language : languages) {
        if (language.starts_with(code + "_") || language.starts_with(code + "-"))
            return language;
    }
    const std::string lowerCode = text::lowercased(code);
    for (const std::string& language : languages) {
        if (text::lowercased(language).starts_with(lowerCode))
            return language;
    }
    return std::nullopt;
}

bool SystemSpellOracle::findsMisspelling(const std::string& text, const std::string& checkerLanguage)
{
    return m_checker.checkSpelling(text, checkerLanguage).has_value();
}

bool SystemSpellOracle::canCheck(const std::string& language)
{
    return resolve(language).has_value();
}

bool SystemSpellOracle::isReliable(const std::string& language)
{
    return !isUnreliable(language) && resolve(language).has_value();
}

void SystemSpellOracle::warmUp(const std::vector<std::string>& languages)
{
    for (const std::string& code : languages) {
        const auto resolved = resolve(code);
        if (!resolved)
            continue;
        findsMisspelling("warmup", *resolved);
        findsMisspelling("warmup", *resolved);
    }
}

bool SystemSpellOracle::isMisspelled(const std::string& word, const std::string& language)
{
    const auto resolved = resolve(language);
    if (!resolved)
        return true;
    if (!findsMisspelling(word, *resolved))
        return false;
    if (word != text::lowercased(word) || word == text::uppercased(word))
        return true;
    // An all-lower-case word: a proper noun typed in lower case passes once capitalised.
    const std::vector<std::string> characters = text::characters(word);
    std::string capitalised = text::uppercased(characters.front());
    for (std::size_t i = 1; i < characters.size(); ++i)
        capitalised += characters[i];
    return findsMisspelling(capitalised, *resolved);
}

Frequency SystemSpellOracle::frequency(const std::string&, const std::string&)
{
    return Frequency::noList();
}

}  // namespace kx
