#include "platform/EnchantSpellChecker.h"

#include "platform/Text.h"

#include <enchant.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <cstring>

namespace kx::platform {

namespace {

constexpr const char* preferredProviders = "hunspell,nuspell,aspell,hspell";
constexpr const char* hebrewProviders = "hspell,hunspell,nuspell,aspell";

// Enchant's positions within a word, for enchant_dict_is_word_character.
constexpr std::size_t wordStart = 0;
constexpr std::size_t wordMiddle = 1;
constexpr std::size_t wordEnd = 2;

bool isHebrewTag(const std::string& tag)
{
    return tag == "he" || tag.starts_with("he_") || tag.starts_with("he-");
}

// A letter that hspell must not be asked about: hspell passes every Latin word and cannot even
// encode a Cyrillic one. Niqqud and other marks count with the letters they sit on.
bool isForeignToHebrew(char32_t c)
{
    if (!text::isLetter(c))
        return false;
    UErrorCode error = U_ZERO_ERROR;
    const UScriptCode script = uscript_getScript(static_cast<UChar32>(c), &error);
    return U_FAILURE(error) || (script != USCRIPT_HEBREW && script != USCRIPT_COMMON && script != USCRIPT_INHERITED);
}

}  // namespace

SpellChecker& SpellChecker::shared()
{
    // Never destroyed: a dictionary load stuck in a read may still be inside it at exit.
    static EnchantSpellChecker& checker = *new EnchantSpellChecker;
    return checker;
}

EnchantSpellChecker::EnchantSpellChecker()
{
    EnchantBroker* broker = enchant_broker_init();
    if (!broker)
        return;
    enchant_broker_list_dicts(
        broker,
        [](const char* tag, const char*, const char*, const char*, void* data) {
            auto& languages = *static_cast<std::vector<std::string>*>(data);
            if (std::find(languages.begin(), languages.end(), tag) == languages.end())
                languages.emplace_back(tag);
        },
        &m_languages);
    enchant_broker_free(broker);
}

EnchantSpellChecker::~EnchantSpellChecker()
{
    for (auto& [language, dictionary] : m_dictionaries) {
        if (dictionary->dict)
            enchant_broker_free_dict(dictionary->broker, dictionary->dict);
        if (dictionary->broker)
            enchant_broker_free(dictionary->broker);
    }
}

std::vector<std::string> EnchantSpellChecker::availableLanguages()
{
    return m_languages;
}

EnchantSpellChecker::Dictionary& EnchantSpellChecker::slot(const std::string& language)
{
    std::lock_guard lock(m_mutex);
    auto& dictionary = m_dictionaries[language];
    if (!dictionary)
        dictionary = std::make_unique<Dictionary>();
    return *dictionary;
}

void EnchantSpellChecker::request(Dictionary& dictionary, const std::string& language) const
{
    dictionary.requested = true;
    if (std::find(m_languages.begin(), m_languages.end(), language) == m_languages.end())
        return;
    dictionary.broker = enchant_broker_init();
    if (!dictionary.broker)
        return;
    // The system ordering file names its own providers for some tags (aspell first for en_US),
    // and a tag's own ordering beats the "*" default, so the tag gets the preference explicitly.
    const std::string primary = language.substr(0, language.find_first_of("_-"));
    const char* providers = isHebrewTag(primary) ? hebrewProviders : preferredProviders;
    enchant_broker_set_ordering(dictionary.broker, "*", preferredProviders);
    enchant_broker_set_ordering(dictionary.broker, language.c_str(), providers);
    enchant_broker_set_ordering(dictionary.broker, primary.c_str(), providers);
    // Enchant reads the user's personal word list here.
    dictionary.dict = enchant_broker_request_dict(dictionary.broker, language.c_str());
    if (!dictionary.dict)
        return;
    enchant_dict_describe(
        dictionary.dict,
        [](const char*, const char* provider, const char*, const char*, void* data) {
            *static_cast<bool*>(data) = std::strcmp(provider, "hspell") == 0;
        },
        &dictionary.hebrewOnly);
}

std::optional<std::size_t> EnchantSpellChecker::checkSpelling(std::string_view text, const std::string& language)
{
    Dictionary& dictionary = slot(language);
    std::lock_guard lock(dictionary.mutex);
    if (!dictionary.requested)
        request(dictionary, language);
    EnchantDict* dict = dictionary.dict;
    if (!dict)
        return std::nullopt;

    // Words are found the way Enchant advises: a run that starts on a start character, goes on
    // through middle characters and is cut back to its last end character. Punctuation around a
    // word ("hello,") is thus not part of it.
    const std::u32string scalars = text::toScalars(text);
    // Inside a Hebrew word a double quote stands for gershayim (צה"ל), as Hunspell's Hebrew
    // dictionary has it; hspell reads it so but does not say so to Enchant.
    const auto isWordCharacter = [&](char32_t c, std::size_t position) {
        if (dictionary.hebrewOnly && c == U'"' && position == wordMiddle)
            return true;
        return enchant_dict_is_word_character(dict, static_cast<std::uint32_t>(c), position) != 0;
    };
    std::size_t i = 0;
    while (i < scalars.size()) {
        if (!isWordCharacter(scalars[i], wordStart)) {
            ++i;
            continue;
        }
        std::size_t next = i + 1;
        while (next < scalars.size() && isWordCharacter(scalars[next], wordMiddle))
            ++next;
        std::size_t end = next;
        while (end > i + 1 && !isWordCharacter(scalars[end - 1], wordEnd))
            --end;
        const std::u32string_view scalarsOfWord = std::u32string_view(scalars).substr(i, end - i);
        const bool foreign =
            dictionary.hebrewOnly && std::any_of(scalarsOfWord.begin(), scalarsOfWord.end(), isForeignToHebrew);
        const std::string word = text::fromScalars(scalarsOfWord);
        if (foreign || enchant_dict_check(dict, word.data(), static_cast<ssize_t>(word.size())) != 0)
            return text::fromScalars(std::u32string_view(scalars).substr(0, i)).size();
        i = next;
    }
    return std::nullopt;
}

}  // namespace kx::platform
