#pragma once
// The controller's view of the oracles while the languages load: a language still loading is
// judged as one nobody can check (not checkable, not reliable, every word misspelled, no list),
// so the main thread never waits for it; a loaded language is asked of the oracle itself.

#include "controller/LanguageLoad.h"
#include "engine/LanguageOracle.h"

namespace kx {

class LoadedLanguagesOracle final : public LanguageOracle {
public:
    /// oracle and load must outlive this one.
    LoadedLanguagesOracle(LanguageOracle& oracle, const LanguageLoad& load);

    bool canCheck(const std::string& language) override;
    bool isMisspelled(const std::string& word, const std::string& language) override;
    bool isReliable(const std::string& language) override;
    /// Warms up the loaded languages alone.
    void warmUp(const std::vector<std::string>& languages) override;
    Frequency frequency(const std::string& word, const std::string& language) override;

private:
    LanguageOracle& m_oracle;
    const LanguageLoad& m_load;
};

}  // namespace kx
