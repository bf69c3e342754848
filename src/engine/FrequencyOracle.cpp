#include "engine/FrequencyOracle.h"

#include "engine/PrefixedForm.h"
#include "platform/Log.h"
#include "platform/ResourceFolder.h"
#include "platform/Text.h"

#include <mutex>
#include <utility>

namespace kx {

namespace {

// The word with each ё written as е.
std::string withoutYo(std::string word)
{
    for (std::size_t at = word.find("ё"); at != std::string::npos; at = word.find("ё", at))
        word.replace(at, std::string("ё").size(), "е");
    return word;
}

struct ProcessBundle {
    std::mutex mutex;
    bool known = false;
    std::optional<std::filesystem::path> folder;
};

ProcessBundle& processBundle()
{
    static ProcessBundle bundle;
    return bundle;
}

}  // namespace

FrequencyOracle::FrequencyOracle(LanguageOracle& fallback, std::optional<std::filesystem::path> bundle)
    : m_fallback(fallback), m_bundle(std::move(bundle))
{}

std::optional<std::filesystem::path> FrequencyOracle::resourceBundle()
{
    // The character model asks from its warm-up thread while the main thread builds its oracle.
    ProcessBundle& bundle = processBundle();
    std::lock_guard lock(bundle.mutex);
    if (!bundle.known) {
        bundle.folder = ResourceFolder::find();
        if (!bundle.folder)
            Log::line("frequency lists not found — falling back to the spell-checker only");
        bundle.known = true;
    }
    return bundle.folder;
}

void FrequencyOracle::setResourceBundle(std::optional<std::filesystem::path> folder)
{
    ProcessBundle& bundle = processBundle();
    std::lock_guard lock(bundle.mutex);
    bundle.folder = std::move(folder);
    bundle.known = true;
}

std::string FrequencyOracle::key(const std::string& language)
{
    const std::vector<std::string> characters = text::characters(text::lowercased(language));
    std::string key;
    for (std::size_t i = 0; i < characters.size() && i < 2; ++i)
        key += characters[i];
    return key;
}

const FrequencyList* FrequencyOracle::list(const std::string& key)
{
    auto found = m_lists.find(key);
    if (found == m_lists.end())
        found = m_lists.emplace(key, FrequencyList::load(key, *m_bundle)).first;
    return found->second ? &*found->second : nullptr;
}

Frequency FrequencyOracle::frequency(const std::string& word, const std::string& language)
{
    if (!m_bundle)
        return Frequency::noList();
    const FrequencyList* words = list(key(language));
    if (!words)
        return Frequency::noList();
    // The list's own lines are not lower-cased: a line written with capitals never matches.
    const std::string lowered = text::lowercased(word);
    if (const auto rank = words->rank(lowered))
        return Frequency::ranked(*rank);
    // Russian text mostly writes ё as е, and so do the lists: "ещё" is listed as "еще".
    if (std::string plain = withoutYo(lowered); plain != lowered) {
        if (const auto rank = words->rank(plain))
            return Frequency::ranked(*rank);
    }
    // A ranked word behind joined prefixes makes the form ranked, when the spell checker knows the
    // whole form: the prefixes alone would make words of many a letter string. It ranks after
    // every listed word, so that a plain word of another layout still outweighs it.
    for (const std::string& stem : PrefixedForm::stems(lowered, key(language))) {
        const auto plain = words->rank(stem);
        if (!plain)
            continue;
        if (m_fallback.isMisspelled(word, language))
            return Frequency::absent();
        return Frequency::ranked(static_cast<int>(words->size()) + *plain);
    }
    return Frequency::absent();
}

bool FrequencyOracle::canCheck(const std::string& language)
{
    if (m_bundle && list(key(language)))
        return true;
    return m_fallback.canCheck(language);
}

bool FrequencyOracle::isReliable(const std::string& language)
{
    if (m_bundle && list(key(language)))
        return true;
    return m_fallback.isReliable(language);
}

bool FrequencyOracle::isMisspelled(const std::string& word, const std::string& language)
{
    if (frequency(word, language).isRanked())
        return false;
    return m_fallback.isMisspelled(word, language);
}

void FrequencyOracle::warmUp(const std::vector<std::string>& languages)
{
    if (m_bundle) {
        for (const std::string& language : languages)
            list(key(language));
    }
    m_fallback.warmUp(languages);
}

}  // namespace kx
