#pragma once
// What physical keys type on a given keyboard layout, with only Shift, Caps Lock and Option reaching
// the layout. A dead key types nothing alone; in a run of keys its accent goes onto the character
// of the key after it, as a text field composes it. Stateless, any thread.

#include "platform/KeyStroke.h"
#include "platform/KeyTable.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kx {

class TranslationEngine {
public:
    /// What one key types; none when it types nothing.
    static std::optional<std::string> character(std::uint16_t keyCode, std::uint64_t flags,
                                                const platform::KeyTable& layoutData);
    /// The combining accent the key puts on the next character when it is a dead key; 0 otherwise.
    static char32_t deadAccent(std::uint16_t keyCode, std::uint64_t flags, const platform::KeyTable& layoutData);
    /// What the keys type, keys that type nothing skipped; a dead key's accent that makes no
    /// single character with the next key's is dropped.
    static std::string reconstruct(std::span<const KeyStroke> keys, const platform::KeyTable& layoutData);
    /// What the keys type; none as soon as one key types nothing, unless it is a dead key whose
    /// accent makes a single character with the next key's (no keys: the empty string).
    static std::optional<std::string> reconstructFaithful(std::span<const KeyStroke> keys,
                                                          const platform::KeyTable& layoutData);
    /// Each single character the layout types, to the first key stroke that types it, trying no
    /// modifier, Shift, Option, then Shift+Option, and lower key codes first within each.
    static std::map<std::string, KeyStroke> inverseMap(const platform::KeyTable& layoutData);
    /// Each accent a dead key of the layout puts on a letter, to the first key stroke that does
    /// it: no modifier before Shift, lower key codes first.
    static std::map<char32_t, KeyStroke> deadKeyMap(const platform::KeyTable& layoutData);
    /// text retyped on `to` with the keys that type it on `from`, an accented letter that has no
    /// key of its own as its accents' dead keys and its letter; a key that is a dead key on `to`
    /// puts its accent on the next character there. Characters `from` cannot type, or whose keys
    /// type nothing on `to`, stay as they are.
    static std::string transliterate(std::string_view text, const platform::KeyTable& from,
                                     const platform::KeyTable& to);
};

}  // namespace kx
