#include "platform/Text.h"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <memory>

namespace kx::text {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

// Decodes the scalar at s[i] and advances i past it; an ill-formed sequence yields U+FFFD and
// consumes its maximal subpart, so repairs agree with what other decoders show.
char32_t nextScalar(std::string_view s, std::int64_t& i)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(s.data());
    const auto length = static_cast<std::int64_t>(s.size());
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    return c < 0 ? replacementCharacter : static_cast<char32_t>(c);
}

bool isScalarValue(char32_t c)
{
    return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

void appendUtf8(std::string& out, char32_t c)
{
    if (!isScalarValue(c))
        c = replacementCharacter;
    std::uint8_t buffer[U8_MAX_LENGTH];
    std::int32_t length = 0;
    U8_APPEND_UNSAFE(buffer, length, static_cast<UChar32>(c));
    out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

void appendUtf16(std::u16string& out, char32_t c)
{
    if (c <= 0xFFFF) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        out.push_back(static_cast<char16_t>(U16_LEAD(c)));
        out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
    }
}

bool inCategories(char32_t c, std::uint32_t mask)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & mask) != 0;
}

char32_t firstScalar(std::string_view s)
{
    std::int64_t i = 0;
    return s.empty() ? 0 : nextScalar(s, i);
}

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

// Opening a break iterator loads its rules; one per thread is reused for every call.
UBreakIterator* graphemeIterator()
{
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        return std::unique_ptr<UBreakIterator, BreakIteratorCloser>(U_SUCCESS(status) ? opened : nullptr);
    }();
    return iterator.get();
}

using CaseMapping = std::int32_t (*)(UChar*, std::int32_t, const UChar*, std::int32_t, const char*, UErrorCode*);

std::string caseMapped(std::string_view s, CaseMapping mapping)
{
    const std::u16string source = toUtf16(s);
    if (source.empty())
        return {};
    // Full case mapping can grow a string (ß → SS); retry once with the size ICU asks for.
    std::u16string result(source.size() + 8, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    auto length =
        mapping(reinterpret_cast<UChar*>(result.data()), static_cast<std::int32_t>(result.size()),
                reinterpret_cast<const UChar*>(source.data()), static_cast<std::int32_t>(source.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        result.assign(static_cast<std::size_t>(length), u'\0');
        status = U_ZERO_ERROR;
        length = mapping(reinterpret_cast<UChar*>(result.data()), static_cast<std::int32_t>(result.size()),
                         reinterpret_cast<const UChar*>(source.data()), static_cast<std::int32_t>(source.size()), "",
                         &status);
    }
    if (U_FAILURE(status))
        return fromUtf16(source);
    result.resize(static_cast<std::size_t>(length));
    return fromUtf16(result);
}

template <typename Predicate>
std::string trimmedBy(std::string_view s, Predicate isTrimmed)
{
    const std::string text = repaired(s);
    std::size_t begin = text.size();
    std::size_t end = 0;
    std::int64_t i = 0;
    while (i < static_cast<std::int64_t>(text.size())) {
        const auto start = static_cast<std::size_t>(i);
        const char32_t c = nextScalar(text, i);
        if (!isTrimmed(c)) {
            if (begin == text.size())
                begin = start;
            end = static_cast<std::size_t>(i);
        }
    }
    return begin < end ? text.substr(begin, end - begin) : std::string();
}

}  // namespace

std::string repaired(std::string_view s)
{
    if (isValidUtf8(s))
        return std::string(s);
    std::string out;
    out.reserve(s.size() + 8);
    std::int64_t i = 0;
    while (i < static_cast<std::int64_t>(s.size()))
        appendUtf8(out, nextScalar(s, i));
    return out;
}

bool isValidUtf8(std::string_view s)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(s.data());
    const auto length = static_cast<std::int64_t>(s.size());
    std::int64_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

std::u32string toScalars(std::string_view s)
{
    std::u32string out;
    out.reserve(s.size());
    std::int64_t i = 0;
    while (i < static_cast<std::int64_t>(s.size()))
        out.push_back(nextScalar(s, i));
    return out;
}

std::string fromScalars(std::u32string_view scalars)
{
    std::string out;
    out.reserve(scalars.size());
    for (char32_t c : scalars)
        appendUtf8(out, c);
    return out;
}

std::string fromScalar(char32_t scalar)
{
    std::string out;
    appendUtf8(out, scalar);
    return out;
}

std::u16string toUtf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    std::int64_t i = 0;
    while (i < static_cast<std::int64_t>(s.size()))
        appendUtf16(out, nextScalar(s, i));
    return out;
}

std::string fromUtf16(std::u16string_view units)
{
    std::string out;
    out.reserve(units.size());
    const auto length = static_cast<std::int64_t>(units.size());
    std::int64_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        U16_NEXT(units.data(), i, length, c);
        appendUtf8(out, U16_IS_SURROGATE(c) ? replacementCharacter : static_cast<char32_t>(c));
    }
    return out;
}

std::size_t scalarCount(std::string_view s)
{
    std::size_t count = 0;
    std::int64_t i = 0;
    while (i < static_cast<std::int64_t>(s.size())) {
        nextScalar(s, i);
        ++count;
    }
    return count;
}

std::size_t utf16Count(std::string_view s)
{
    std::size_t count = 0;
    std::int64_t i = 0;
    while (i < static_cast<std::int64_t>(s.size()))
        count += nextScalar(s, i) > 0xFFFF ? 2 : 1;
    return count;
}

std::size_t characterCount(std::string_view s)
{
    return characters(s).size();
}

std::vector<std::string> characters(std::string_view s)
{
    std::vector<std::string> out;
    const std::u16string units = toUtf16(s);
    if (units.empty())
        return out;
    UBreakIterator* iterator = graphemeIterator();
    UErrorCode status = U_ZERO_ERROR;
    if (iterator != nullptr)
        ubrk_setText(iterator, reinterpret_cast<const UChar*>(units.data()), static_cast<std::int32_t>(units.size()),
                     &status);
    if (iterator == nullptr || U_FAILURE(status)) {
        // Without ICU's rules every scalar stands alone rather than losing text.
        for (char32_t c : toScalars(s))
            out.push_back(fromScalar(c));
        return out;
    }
    std::int32_t start = ubrk_first(iterator);
    for (std::int32_t end = ubrk_next(iterator); end != UBRK_DONE; start = end, end = ubrk_next(iterator))
        out.push_back(fromUtf16(
            std::u16string_view(units).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start))));
    // The iterator keeps a pointer to the text; detach it before the text goes away.
    ubrk_setText(iterator, nullptr, 0, &status);
    return out;
}

bool isLetter(char32_t c)
{
    return inCategories(c, U_GC_L_MASK | U_GC_M_MASK);
}

bool isMark(char32_t c)
{
    return inCategories(c, U_GC_M_MASK);
}

bool isPunctuation(char32_t c)
{
    return inCategories(c, U_GC_P_MASK);
}

bool isSymbol(char32_t c)
{
    return inCategories(c, U_GC_S_MASK);
}

bool isDecimalDigit(char32_t c)
{
    return inCategories(c, U_GC_ND_MASK);
}

bool isWhitespace(char32_t c)
{
    return c == U'\t' || inCategories(c, U_GC_ZS_MASK);
}

bool isWhitespaceOrNewline(char32_t c)
{
    return isWhitespace(c) || (c >= 0x0A && c <= 0x0D) || c == 0x85 || inCategories(c, U_GC_ZL_MASK | U_GC_ZP_MASK);
}

bool characterIsLetter(std::string_view character)
{
    return !character.empty() && inCategories(firstScalar(character), U_GC_L_MASK);
}

bool characterIsUppercase(std::string_view character)
{
    const std::string text = repaired(character);
    return !text.empty() && uppercased(text) == text && lowercased(text) != text;
}

bool characterIsLowercase(std::string_view character)
{
    const std::string text = repaired(character);
    return !text.empty() && lowercased(text) == text && uppercased(text) != text;
}

bool characterIsNumber(std::string_view character)
{
    return !character.empty() && inCategories(firstScalar(character), U_GC_N_MASK);
}

std::string lowercased(std::string_view s)
{
    return caseMapped(s, u_strToLower);
}

std::string uppercased(std::string_view s)
{
    return caseMapped(s, u_strToUpper);
}

std::string trimmed(std::string_view s)
{
    return trimmedBy(s, isWhitespaceOrNewline);
}

std::string trimmedWhitespace(std::string_view s)
{
    return trimmedBy(s, isWhitespace);
}

namespace {

std::string normalized(std::string_view s, const UNormalizer2* (*instance)(UErrorCode*))
{
    const std::u16string source = toUtf16(s);
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* normalizer = instance(&status);
    if (U_FAILURE(status) || source.empty())
        return fromUtf16(source);
    std::u16string result(source.size() + 8, u'\0');
    auto length = unorm2_normalize(normalizer, reinterpret_cast<const UChar*>(source.data()),
                                   static_cast<std::int32_t>(source.size()), reinterpret_cast<UChar*>(result.data()),
                                   static_cast<std::int32_t>(result.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        result.assign(static_cast<std::size_t>(length), u'\0');
        status = U_ZERO_ERROR;
        length = unorm2_normalize(normalizer, reinterpret_cast<const UChar*>(source.data()),
                                  static_cast<std::int32_t>(source.size()), reinterpret_cast<UChar*>(result.data()),
                                  static_cast<std::int32_t>(result.size()), &status);
    }
    if (U_FAILURE(status))
        return fromUtf16(source);
    result.resize(static_cast<std::size_t>(length));
    return fromUtf16(result);
}

}  // namespace

std::string nfc(std::string_view s)
{
    return normalized(s, unorm2_getNFCInstance);
}

std::string nfd(std::string_view s)
{
    return normalized(s, unorm2_getNFDInstance);
}

std::string nfkc(std::string_view s)
{
    return normalized(s, unorm2_getNFKCInstance);
}

}  // namespace kx::text
