#include "engine/EnclosingPunctuation.h"

#include "engine/TranslationEngine.h"
#include "platform/Text.h"

namespace kx {

namespace {

// One scalar that is not a letter, a decimal digit or white space.
bool isEnclosingText(const std::optional<std::string>& text)
{
    const std::u32string scalars = text::toScalars(*text);
    if (scalars.size() != 1)
        return false;
    const char32_t c = scalars.front();
    return !text::isLetter(c) && !text::isDecimalDigit(c) && !text::isWhitespaceOrNewline(c);
}

}  // namespace

bool EnclosingPunctuation::isEnclosingKey(const KeyStroke& key, const platform::KeyTable& current,
                                          const platform::KeyTable& target)
{
    const auto a = TranslationEngine::character(key.code, key.flags, current);
    const auto b = TranslationEngine::character(key.code, key.flags, target);
    return a && b && isEnclosingText(a) && isEnclosingText(b);
}

EnclosingPunctuation::Split EnclosingPunctuation::split(std::span<const KeyStroke> keys,
                                                        const platform::KeyTable& current,
                                                        const platform::KeyTable& target)
{
    Split result;
    while (result.lead < keys.size() && isEnclosingKey(keys[result.lead], current, target))
        ++result.lead;
    if (result.lead == keys.size())
        return result;
    while (result.trail < keys.size() - result.lead &&
           isEnclosingKey(keys[keys.size() - 1 - result.trail], current, target)) {
        ++result.trail;
    }
    return result;
}

}  // namespace kx
