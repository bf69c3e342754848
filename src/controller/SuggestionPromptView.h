#pragma once
// The suggestion prompt by the pointer, as the controller sees it. The Qt side draws it; tests use
// a recording fake.

#include "platform/Pointer.h"

#include <functional>

namespace kx {

class SuggestionPromptView {
public:
    virtual ~SuggestionPromptView() = default;

    virtual void show(platform::ScreenPoint at) = 0;
    virtual void hide() = 0;
    /// The prompt exists, is visible with an alpha above 0.1, and its frame holds point.
    virtual bool contains(platform::ScreenPoint point) const = 0;

    /// Called when the user clicks the prompt; set by the controller at start.
    std::function<void()> onClick;
};

}  // namespace kx
