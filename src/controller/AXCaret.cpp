#include "controller/AXCaret.h"

namespace kx {

AXCaret::AXCaret(platform::Accessibility& accessibility, SerialQueue& queue, MainQueue& main)
    : m_accessibility(accessibility), m_queue(queue), m_main(main)
{}

void AXCaret::readTail(int count, double timeout, std::function<void(std::optional<std::string>)> then)
{
    platform::Accessibility* accessibility = &m_accessibility;
    MainQueue* main = &m_main;
    m_queue.async([accessibility, main, count, timeout, then = std::move(then)]() mutable {
        auto text = accessibility->textBeforeCaret(count, timeout);
        main->async([then = std::move(then), text = std::move(text)] { then(text); });
    });
}

}  // namespace kx
