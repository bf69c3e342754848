#pragma once
// What the focused text element of the front application holds, read through the desktop's
// accessibility service. Every read names a time-out in seconds, so that an application that does
// not answer cannot stall the reader; a read that runs past it gives none. Any thread.

#include "platform/Text.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx::platform {

/// A range of text in UTF-16 units, the unit of accessibility text ranges. The caret is a range
/// of length 0. The location comes as the application gives it and may be negative or past the end.
struct TextRange {
    std::int64_t location = 0;
    std::int64_t length = 0;
    bool operator==(const TextRange&) const = default;
};

class Accessibility {
public:
    virtual ~Accessibility() = default;

    /// The focused element's whole text. None when nothing has focus, the element holds no text
    /// (it is not a text element), or it does not answer within timeout.
    virtual std::optional<std::string> focusedValue(double timeout) = 0;
    /// The focused element's selected range (the caret when nothing is selected); none as above.
    virtual std::optional<TextRange> selectedRange(double timeout) = 0;
    /// The focused element's selected text, "" when nothing is selected; none as above.
    virtual std::optional<std::string> selectedText(double timeout) = 0;
    /// Up to count UTF-16 units of the focused element's text just before the caret (or the start
    /// of the selection), read without the rest of the text, so that a long text costs what a
    /// short one does: "" at the start. A caret past the end counts as at the end. None as above,
    /// and when the caret is negative.
    virtual std::optional<std::string> textBeforeCaret(int count, double timeout) = 0;

    /// Whether the accessibility service answers now and tells us where the focus is: while it
    /// does not, a password field cannot be told from any other. False too while the front
    /// application took part and answers no more. Never waits; asked at every key.
    virtual bool isReachable() = 0;
    /// Whether the application of process pid takes part in accessibility, so that its password
    /// fields can be recognised. False when it offers none, or the service does not answer.
    virtual bool offersAccessibility(std::int32_t pid) = 0;

    /// The last count UTF-16 units of text before the unit offset end, as textBeforeCaret() gives
    /// them: end past the text counts as its end; none for a negative end.
    static std::optional<std::string> unitsBefore(std::string_view text, std::int64_t end, int count)
    {
        if (end < 0)
            return std::nullopt;
        const std::u16string units = text::toUtf16(text);
        const auto stop = std::min<std::int64_t>(static_cast<std::int64_t>(units.size()), end);
        const auto start = std::max<std::int64_t>(0, stop - std::max(count, 0));
        return text::fromUtf16(
            std::u16string_view(units).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(stop - start)));
    }
};

}  // namespace kx::platform
