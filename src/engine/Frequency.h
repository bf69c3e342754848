#pragma once
// What a word-frequency list says of a word.

namespace kx {

struct Frequency {
    enum class Kind {
        ranked,  // the language's list holds the word; rank 1 is the most frequent
        absent,  // the language has a list and the word is not in it
        noList,  // no list for the language, or no lists at all
    };

    Kind kind = Kind::noList;
    int rank = 0;  // only for ranked

    static constexpr Frequency ranked(int rank) { return {Kind::ranked, rank}; }
    static constexpr Frequency absent() { return {Kind::absent, 0}; }
    static constexpr Frequency noList() { return {Kind::noList, 0}; }

    constexpr bool isRanked() const { return kind == Kind::ranked; }
    constexpr bool operator==(const Frequency&) const = default;
};

}  // namespace kx
