#pragma once
// Unicode text helpers over ICU. Strings are UTF-8 std::string everywhere; nothing else in the
// program decodes UTF-8 by hand. Every function accepts invalid UTF-8: bad sequences read as U+FFFD.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kx::text {

/// The input with every invalid UTF-8 sequence replaced by U+FFFD.
std::string repaired(std::string_view s);
bool isValidUtf8(std::string_view s);

// Conversions.
std::u32string toScalars(std::string_view s);
std::string fromScalars(std::u32string_view scalars);
std::string fromScalar(char32_t scalar);
std::u16string toUtf16(std::string_view s);
std::string fromUtf16(std::u16string_view units);

// Lengths, counted the three ways the program needs.
std::size_t scalarCount(std::string_view s);     // Unicode scalars (Backspace counts)
std::size_t utf16Count(std::string_view s);      // UTF-16 units (Accessibility text windows)
std::size_t characterCount(std::string_view s);  // grapheme clusters ("characters")
/// The grapheme clusters of s, in order.
std::vector<std::string> characters(std::string_view s);

// Character sets on Unicode scalars.
bool isLetter(char32_t c);               // general categories L* and M*
bool isMark(char32_t c);                 // M*: combining marks, such as accents and vowel signs
bool isPunctuation(char32_t c);          // P*
bool isSymbol(char32_t c);               // S*
bool isDecimalDigit(char32_t c);         // Nd
bool isWhitespace(char32_t c);           // Zs and tab
bool isWhitespaceOrNewline(char32_t c);  // the above, plus line and paragraph separators

// Properties of one character (a grapheme cluster), as a user sees it.
bool characterIsLetter(std::string_view character);     // its first scalar is a letter (L*)
bool characterIsUppercase(std::string_view character);  // upper-casing leaves it, lower-casing changes it
bool characterIsLowercase(std::string_view character);  // lower-casing leaves it, upper-casing changes it
bool characterIsNumber(std::string_view character);     // its first scalar is numeric (N*)

// Full case mapping of whole strings (root locale: ß upper-cases to SS, final sigma lower-cases).
std::string lowercased(std::string_view s);
std::string uppercased(std::string_view s);

/// s without white space and newlines at either end.
std::string trimmed(std::string_view s);
/// s without white space (no newlines) at either end.
std::string trimmedWhitespace(std::string_view s);

/// Canonical composition (NFC).
std::string nfc(std::string_view s);
/// Canonical decomposition (NFD): an accented letter as its letter and combining accent.
std::string nfd(std::string_view s);
/// Compatibility composition (NFKC): a ligature or presentation form as the letters it stands for.
std::string nfkc(std::string_view s);

}  // namespace kx::text
