#include "engine/TranslationEngine.h"

#include "engine/TranslatorModifiers.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace kx {

namespace {

// The translator's state counts Shift as 2, Caps Lock 4, Option 8; the table's columns as 1, 2, 4.
std::string_view typed(std::uint16_t keyCode, std::uint64_t flags, const platform::KeyTable& layoutData)
{
    return layoutData.text(keyCode, translatorModifiers(flags) >> 1);
}

// The character with the accents on it, when they make one precomposed character (a Greek vowel
// with its tonos); none otherwise, as a text field composes nothing then.
std::optional<std::string> accented(std::string_view character, std::u32string_view accents)
{
    if (text::scalarCount(character) != 1)
        return std::nullopt;
    std::string decomposed(character);
    for (const char32_t accent : accents)
        decomposed += text::fromScalar(accent);
    std::string composed = text::nfc(decomposed);
    if (text::scalarCount(composed) != 1)
        return std::nullopt;
    return composed;
}

// What the keys type. Faithful: none when a key types nothing and is no dead key, or when a dead
// key's accent makes no single character with the next key's; otherwise such keys are skipped.
std::optional<std::string> typedText(std::span<const KeyStroke> keys, const platform::KeyTable& layoutData,
                                     bool faithful)
{
    std::string result;
    std::u32string accents;  // of the dead keys since the last key that typed something
    for (const KeyStroke& key : keys) {
        const std::string_view text = typed(key.code, key.flags, layoutData);
        if (text.empty()) {
            if (const char32_t accent = TranslationEngine::deadAccent(key.code, key.flags, layoutData))
                accents += accent;
            else if (faithful)
                return std::nullopt;
            continue;
        }
        if (!accents.empty()) {
            const std::optional<std::string> composed = accented(text, accents);
            accents.clear();
            if (composed) {
                result += *composed;
                continue;
            }
            if (faithful)
                return std::nullopt;
        }
        result += text;
    }
    if (faithful && !accents.empty())
        return std::nullopt;
    return result;
}

}  // namespace

std::optional<std::string> TranslationEngine::character(std::uint16_t keyCode, std::uint64_t flags,
                                                        const platform::KeyTable& layoutData)
{
    const std::string_view text = typed(keyCode, flags, layoutData);
    if (text.empty())
        return std::nullopt;
    return std::string(text);
}

char32_t TranslationEngine::deadAccent(std::uint16_t keyCode, std::uint64_t flags, const platform::KeyTable& layoutData)
{
    return layoutData.deadAccent(keyCode, translatorModifiers(flags) >> 1);
}

std::string TranslationEngine::reconstruct(std::span<const KeyStroke> keys, const platform::KeyTable& layoutData)
{
    return *typedText(keys, layoutData, false);
}

std::optional<std::string> TranslationEngine::reconstructFaithful(std::span<const KeyStroke> keys,
                                                                  const platform::KeyTable& layoutData)
{
    return typedText(keys, layoutData, true);
}

std::map<std::string, KeyStroke> TranslationEngine::inverseMap(const platform::KeyTable& layoutData)
{
    static constexpr std::array<std::uint64_t, 4> kFlagOrder{0, EventFlags::shift, EventFlags::option,
                                                             EventFlags::shift | EventFlags::option};
    std::map<std::string, KeyStroke> map;
    for (const std::uint64_t flags : kFlagOrder) {
        for (std::uint16_t code = 0; code < platform::KeyTable::keyCount; ++code) {
            const std::string_view text = typed(code, flags, layoutData);
            // One scalar is always one character; only longer texts need the grapheme rules.
            if (text.empty() || (text::scalarCount(text) != 1 && text::characterCount(text) != 1))
                continue;
            map.try_emplace(std::string(text), KeyStroke{code, flags});
        }
    }
    return map;
}

std::map<char32_t, KeyStroke> TranslationEngine::deadKeyMap(const platform::KeyTable& layoutData)
{
    std::map<char32_t, KeyStroke> keys;
    for (const std::uint64_t flags : {std::uint64_t{0}, EventFlags::shift}) {
        for (std::uint16_t code = 0; code < platform::KeyTable::keyCount; ++code) {
            if (const char32_t accent = deadAccent(code, flags, layoutData))
                keys.try_emplace(accent, KeyStroke{code, flags});
        }
    }
    return keys;
}

std::string TranslationEngine::transliterate(std::string_view text, const platform::KeyTable& from,
                                             const platform::KeyTable& to)
{
    const auto map = inverseMap(from);
    const auto deadKeys = deadKeyMap(from);
    // The keys that type a character on `from`: its own key, or the dead keys of its accents and
    // then its letter's key; none when it has neither.
    const auto keysOf = [&](const std::string& character) {
        std::vector<KeyStroke> keys;
        if (const auto found = map.find(character); found != map.end()) {
            keys.push_back(found->second);
            return keys;
        }
        const std::u32string scalars = text::toScalars(text::nfd(character));
        const auto letter = map.find(text::fromScalar(scalars.front()));
        if (letter == map.end())
            return keys;
        for (std::size_t i = 1; i < scalars.size(); ++i) {
            const auto dead = deadKeys.find(scalars[i]);
            if (dead == deadKeys.end())
                return std::vector<KeyStroke>{};
            keys.push_back(dead->second);
        }
        keys.push_back(letter->second);
        return keys;
    };
    const auto deadOnTo = [&](const std::vector<KeyStroke>& keys) {
        return std::all_of(keys.begin(), keys.end(), [&](const KeyStroke& key) {
            return typed(key.code, key.flags, to).empty() && deadAccent(key.code, key.flags, to) != 0;
        });
    };

    std::string result;
    std::vector<KeyStroke> held;  // dead keys on `to`, waiting for the next character
    std::string heldText;         // the characters they came from
    for (const std::string& character : text::characters(text)) {
        const std::vector<KeyStroke> keys = keysOf(character);
        if (!keys.empty() && deadOnTo(keys)) {
            held.insert(held.end(), keys.begin(), keys.end());
            heldText += character;
            continue;
        }
        if (!held.empty()) {
            held.insert(held.end(), keys.begin(), keys.end());
            const auto accented = keys.empty() ? std::nullopt : reconstructFaithful(held, to);
            held.clear();
            if (accented) {
                result += *accented;
                heldText.clear();
                continue;
            }
            result += std::exchange(heldText, {});
        }
        const auto retyped = keys.empty() ? std::nullopt : reconstructFaithful(keys, to);
        result += retyped ? *retyped : character;
    }
    return result + heldText;
}

}  // namespace kx
