#pragma once
// What the focused text element of the front application holds, read through the desktop's
// accessibility service. Every read names a time-out in seconds, so that an application that does
// not answer cannot stall the reader; a read that runs past it gives none. Any thread.

#include <cstdint>
#include <optional>
#include <string>

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

    /// Whether the accessibility service answers now and tells us where the focus is: while it
    /// does not, a password field cannot be told from any other. Never waits; asked at every key.
    virtual bool isReachable() = 0;
    /// Whether the application of process pid takes part in accessibility, so that its password
    /// fields can be recognised. False when it offers none, or the service does not answer.
    virtual bool offersAccessibility(std::int32_t pid) = 0;
};

}  // namespace kx::platform
