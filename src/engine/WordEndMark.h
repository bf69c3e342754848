#pragma once
// The punctuation that may end a word.

#include <unordered_set>

namespace kx {

class WordEndMark {
public:
    /// The 21 scalars: . , ; : ! ? ) ] } " ' … ” ’ » « and the Hebrew sof pasuq, Arabic comma,
    /// semicolon, question mark and full stop.
    static const std::unordered_set<char32_t>& scalars();
};

}  // namespace kx
