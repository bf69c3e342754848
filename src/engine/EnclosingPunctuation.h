#pragma once
// Punctuation keys that enclose a word (quotes, brackets, a full stop) on both of two layouts:
// the decisions look past them to the word inside.

#include "platform/KeyStroke.h"
#include "platform/KeyTable.h"

#include <cstddef>
#include <span>

namespace kx {

class EnclosingPunctuation {
public:
    struct Split {
        std::size_t lead = 0;   // enclosing keys at the front
        std::size_t trail = 0;  // enclosing keys at the back, after the lead

        bool operator==(const Split&) const = default;
    };

    /// The key types one scalar on each layout, and neither is a letter, a decimal digit or
    /// white space.
    static bool isEnclosingKey(const KeyStroke& key, const platform::KeyTable& current,
                               const platform::KeyTable& target);
    /// The enclosing keys at both ends of keys; a word made only of them is all lead.
    static Split split(std::span<const KeyStroke> keys, const platform::KeyTable& current,
                       const platform::KeyTable& target);
};

}  // namespace kx
