#pragma once
// Reads the last characters before the caret of the focused text element, off the main thread,
// with a short time-out per question so an application that does not answer cannot stall it.
// Text is measured in UTF-16 units, the unit of accessibility text ranges.

#include "platform/Accessibility.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"

#include <functional>
#include <optional>
#include <string>

namespace kx {

class AXCaret {
public:
    /// queue runs the reads one at a time ("app.kestrelix.ax"); then runs on main.
    AXCaret(platform::Accessibility& accessibility, SerialQueue& queue, MainQueue& main);

    /// Returns at once; later, on the main queue, then gets up to count UTF-16 units before the
    /// caret (or the start of the selection), "" at the start of the field, or none when the
    /// focused element cannot be read.
    void readTail(int count, double timeout, std::function<void(std::optional<std::string>)> then);

private:
    platform::Accessibility& m_accessibility;
    SerialQueue& m_queue;
    MainQueue& m_main;
};

}  // namespace kx
