#pragma once
// How a rewrite's text reaches an application.

#include <string_view>

namespace kx {

enum class ActuationStrategy {
    synthetic,  // typed as Unicode key events
    clipboard,  // pasted through the pasteboard
};

/// "synthetic" or "clipboard", as log lines write it.
constexpr std::string_view toString(ActuationStrategy strategy)
{
    return strategy == ActuationStrategy::synthetic ? "synthetic" : "clipboard";
}

}  // namespace kx
