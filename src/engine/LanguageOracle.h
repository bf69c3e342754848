#pragma once
// The one question the decisions ask of a language: is this a word of it? Language codes are the
// keyboard layouts' codes ("en", "he"). Implementations load lazily, so none of the calls is const.

#include "engine/Frequency.h"

#include <string>
#include <vector>

namespace kx {

class LanguageOracle {
public:
    virtual ~LanguageOracle() = default;

    /// The oracle can judge words of this language.
    virtual bool canCheck(const std::string& language) = 0;
    virtual bool isMisspelled(const std::string& word, const std::string& language) = 0;
    /// Its judgements in this language may drive an automatic conversion.
    virtual bool isReliable(const std::string& language) = 0;
    /// Prepares for these languages, so the first real question is not the slow one.
    virtual void warmUp(const std::vector<std::string>& languages) = 0;
    virtual Frequency frequency(const std::string& word, const std::string& language) = 0;
};

}  // namespace kx
