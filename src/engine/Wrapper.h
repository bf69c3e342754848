#pragma once
// Punctuation keys that enclose a word (quotes, brackets, a full stop) on both of two layouts.

#include "platform/KeyStroke.h"
#include "platform/KeyTable.h"

#include <cstddef>
#include <span>

namespace kx {

class Wrapper {
public:
    struct Split {
        std::size_t lead = 0;   // wrapper keys at the front
        std::size_t trail = 0;  // wrapper keys at the back, after the lead

        bool operator==(const Split&) const = default;
    };

    /// The key types one scalar on each layout, and neither is a letter, a decimal digit or
    /// white space.
    static bool isWrapperKey(const KeyStroke& key, const platform::KeyTable& current,
                             const platform::KeyTable& target);
    /// The wrapper keys at both ends of keys; a word made only of wrapper keys is all lead.
    static Split split(std::span<const KeyStroke> keys, const platform::KeyTable& current,
                       const platform::KeyTable& target);
};

}  // namespace kx
