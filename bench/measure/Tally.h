#pragma once
// What came out of the words of one kind of typing: how many came out as meant, how many were left
// as typed and how many became something else, with the missed words counted.

#include <map>
#include <string>
#include <vector>

namespace kx::bench {

struct Tally {
    int right = 0;
    int left = 0;   // left as the wrong layout typed them
    int wrong = 0;  // changed, but not into the meant word (or, typed right, changed at all)
    /// Each meant word not right, with how often, and one text it came out as.
    std::map<std::string, std::pair<int, std::string>> misses;
    /// The same for the words that came out as neither meant nor typed.
    std::map<std::string, std::pair<int, std::string>> wrongs;

    int words() const { return right + left + wrong; }

    /// Scores the field's text against the meant sentence and what the wrong layout typed, word
    /// by word; words are what the Space keys separate.
    void add(const std::string& meant, const std::string& asTyped, const std::string& result);
    void merge(const Tally& other);

    /// The most frequent misses, or of the wrong words, most first (ties in word order).
    std::vector<std::pair<std::string, std::pair<int, std::string>>> topMisses(std::size_t count) const;
    std::vector<std::pair<std::string, std::pair<int, std::string>>> topWrongs(std::size_t count) const;

    /// A line-based form to pass a tally between processes.
    std::string serialize() const;
    static Tally deserialize(const std::string& text);
};

}  // namespace kx::bench
