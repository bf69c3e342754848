#pragma once
// The writing systems the engine tells apart, each owning fixed Unicode ranges. Used like an
// enumeration: Script::hebrew, switch (script), Script::forLanguage("he").

#include <cstdint>
#include <string_view>

namespace kx {

class Script {
public:
    enum Value : std::uint8_t { latin, cyrillic, hebrew, greek, arabic, devanagari, other };

    constexpr Script(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    /// The share of text's letters that lie in this script's ranges is at least threshold (every
    /// letter counts for other). False when text has no letters.
    bool matches(std::string_view text, double threshold) const;
    /// The script most of text's letters belong to; ties go to hebrew, cyrillic, greek, arabic,
    /// devanagari, latin in that order; latin when no letter is in any range. Never other.
    static Script dominant(std::string_view text);
    /// The script of a language code, judged by its first two letters; latin for any code not
    /// known. Never other.
    static Script forLanguage(std::string_view code);

private:
    Value m_value;
};

}  // namespace kx
