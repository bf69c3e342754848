#pragma once
// The words finished lately, oldest first: what the reach-back and the conversion hot key work
// on, and the words a correction's log gives as context. Main thread only.

#include "engine/WordAssembler.h"
#include "platform/KeyStroke.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kx {

/// A finished word kept for the reach-back.
struct RecentWord {
    std::vector<KeyStroke> keys;
    WordAssembler::Terminator terminator;
    std::string typed;     // the word as the current layout typed it
    std::string layoutID;  // the layout current when the word ended
    double at = 0;         // main-queue seconds
    std::string appID;     // the application in front when the word ended
};

class TypingMemory {
public:
    static constexpr std::size_t historyLimit = 12;
    /// The longest run a rewrite reaches back over.
    static constexpr std::size_t retroMaxWords = 12;
    /// Older words are no longer part of what the user is typing now.
    static constexpr double reachBackAge = 20.0;
    /// How many words before a rewrite its log line gives.
    static constexpr std::size_t contextBeforeCount = 3;

    /// Keeps word as the newest, forgetting the oldest beyond historyLimit.
    void remember(RecentWord word);
    /// Backspace made the newest word, typed with keys, the word in progress again: it is no
    /// longer a finished word. Nothing when the newest word has other keys.
    void restore(const std::vector<KeyStroke>& keys);
    void forget() { m_words.clear(); }

    /// Whether word may be part of a run on layoutID at now: typed there, younger than reachBackAge.
    static bool inReach(const RecentWord& word, const std::string& layoutID, double now);
    /// The newest words in reach on layoutID, at most retroMaxWords, oldest first; the walk
    /// stops at the first word that accept (when given) turns down.
    std::vector<RecentWord> reachBack(const std::string& layoutID, double now,
                                      const std::function<bool(const RecentWord&)>& accept = {}) const;
    /// What was typed of up to contextBeforeCount words before the newest skip words, oldest first.
    std::vector<std::string> typedBefore(std::size_t skip) const;

    /// Oldest first.
    const std::vector<RecentWord>& words() const { return m_words; }

private:
    std::vector<RecentWord> m_words;
};

}  // namespace kx
