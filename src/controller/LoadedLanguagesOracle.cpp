#include "controller/LoadedLanguagesOracle.h"

namespace kx {

LoadedLanguagesOracle::LoadedLanguagesOracle(LanguageOracle& oracle, const LanguageLoad& load)
    : m_oracle(oracle), m_load(load)
{}

bool LoadedLanguagesOracle::canCheck(const std::string& language)
{
    return m_load.ready(language) && m_oracle.canCheck(language);
}

bool LoadedLanguagesOracle::isMisspelled(const std::string& word, const std::string& language)
{
    return !m_load.ready(language) || m_oracle.isMisspelled(word, language);
}

bool LoadedLanguagesOracle::isReliable(const std::string& language)
{
    return m_load.ready(language) && m_oracle.isReliable(language);
}

void LoadedLanguagesOracle::warmUp(const std::vector<std::string>& languages)
{
    std::vector<std::string> loaded;
    for (const std::string& language : languages)
        if (m_load.ready(language))
            loaded.push_back(language);
    m_oracle.warmUp(loaded);
}

Frequency LoadedLanguagesOracle::frequency(const std::string& word, const std::string& language)
{
    return m_load.ready(language) ? m_oracle.frequency(word, language) : Frequency::noList();
}

}  // namespace kx
