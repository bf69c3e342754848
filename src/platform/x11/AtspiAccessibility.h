#pragma once
// The focused text element read through AT-SPI: its text, caret and selection. AT-SPI counts text
// offsets in characters (Unicode scalars); they are turned into the UTF-16 units of TextRange here.

#include "platform/Accessibility.h"

#include <atomic>
#include <string_view>

namespace kx::platform::x11 {

class AtspiSession;

class AtspiAccessibility final : public Accessibility {
public:
    explicit AtspiAccessibility(AtspiSession& session);

    /// Each bus call is limited to timeout; the whole read, a few calls, to a few time-outs. A
    /// password field reads as none.
    std::optional<std::string> focusedValue(double timeout) override;
    std::optional<TextRange> selectedRange(double timeout) override;
    std::optional<std::string> selectedText(double timeout) override;
    /// Asks only for the characters before the caret that can make up count units.
    std::optional<std::string> textBeforeCaret(int count, double timeout) override;
    /// The session can use the bus: it is up and its registry answers; and the application in
    /// front, as the session was last told, has not left it (an application that was registered
    /// and is not now may sit on a bus that died, and its password field would go unseen).
    bool isReachable() override;
    /// pid is among the applications registered on the bus, as last looked up; a pid not among
    /// them has them looked up again for the next question.
    bool offersAccessibility(std::int32_t pid) override;

    /// The UTF-16 offset of the scalar offset in text. An offset past the end counts one unit per
    /// missing scalar; a negative one is kept, as the application gave it.
    static std::int64_t utf16Offset(std::u32string_view text, std::int64_t scalarOffset);

private:
    struct Reading;
    std::optional<Reading> read(double timeout);

    AtspiSession& m_session;
    std::atomic<int> m_silentFront = 0;  // the application in front that left the bus, once logged
};

}  // namespace kx::platform::x11
