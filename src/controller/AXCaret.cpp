#include "controller/AXCaret.h"

#include "platform/Text.h"

#include <algorithm>
#include <cstdint>

namespace kx {

AXCaret::AXCaret(platform::Accessibility& accessibility, SerialQueue& queue, MainQueue& main)
    : m_accessibility(accessibility), m_queue(queue), m_main(main)
{}

void AXCaret::readTail(int count, double timeout, std::function<void(std::optional<std::string>)> then)
{
    platform::Accessibility* accessibility = &m_accessibility;
    MainQueue* main = &m_main;
    m_queue.async([accessibility, main, count, timeout, then = std::move(then)]() mutable {
        auto text = textBefore(*accessibility, count, timeout);
        main->async([then = std::move(then), text = std::move(text)] { then(text); });
    });
}

std::optional<std::string> AXCaret::textBefore(platform::Accessibility& accessibility, int count, double timeout)
{
    const auto value = accessibility.focusedValue(timeout);
    if (!value)
        return std::nullopt;
    const auto range = accessibility.selectedRange(timeout);
    if (!range || range->location < 0)
        return std::nullopt;
    const std::u16string units = text::toUtf16(*value);
    // A caret reported past the end of the text reads as the end.
    const auto end = std::min<std::int64_t>(static_cast<std::int64_t>(units.size()), range->location);
    const auto start = std::max<std::int64_t>(0, end - std::max(count, 0));
    return text::fromUtf16(
        std::u16string_view(units).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

}  // namespace kx
