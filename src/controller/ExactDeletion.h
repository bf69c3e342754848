#pragma once
// How a rewrite removes exactly the stale text before the caret when a Backspace may take more
// than one Unicode scalar. Fields differ: some remove one scalar per Backspace, others a whole
// character cluster, and a combining mark typed after a space joins that space into its cluster,
// so a Backspace per scalar would take the space too. Where the field can be read, the plan posts
// the fewest Backspaces any field needs, reads what they removed, posts the rest, and gives back
// what went beyond the stale text to be typed again. Where it cannot, it never deletes past the
// stale text: a leftover mark is better than a lost character of the user's.
// Pure: the controller posts, reads and waits.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kx {

class ExactDeletion {
public:
    /// UTF-16 units to read before the stale text besides it: enough for the character it may
    /// straddle and for what a Backspace may take with it.
    static constexpr int contextUnits = 8;

    /// before: the text before the caret as read (its last part is enough, with at least the
    /// character before the stale text), or none when the field cannot be read; stale: what is to
    /// go, the end of before. A before that does not end with stale counts as unreadable.
    /// alreadyPosted: Backspaces posted ahead of ours for the end of stale (a key of the user's
    /// taken back), one per scalar.
    ExactDeletion(const std::optional<std::string>& before, const std::string& stale, int alreadyPosted = 0);

    /// Whether one Backspace per scalar removes exactly the stale text in any field: no character
    /// of several scalars is in it or straddles its start. Then nothing needs to be read.
    bool plain() const { return m_plain; }
    /// The Backspaces to post first: the scalars when plain; the character clusters the stale
    /// text touches when the field can be read; when it cannot, the clusters that lie wholly
    /// inside the stale text, which no field's Backspace takes further than the stale text.
    int firstBackspaces() const { return m_first; }
    /// Whether the field can be read, so the Backspaces are to be checked.
    bool readable() const { return m_readable; }
    /// How many UTF-16 units to read before the caret after deleting.
    int readCount() const;

    struct Step {
        enum class Kind {
            reread,  ///< the field is not done with the Backspaces yet, or must show the same twice: read again
            more,    ///< post backspaces more, then read again
            done,    ///< exactly the stale text is gone once restore is typed before the new text
            lost,    ///< what the field shows can no longer be followed: type the new text as it stands
        };
        Kind kind = Kind::done;
        int backspaces = 0;
        std::string restore;
        bool operator==(const Step&) const = default;
    };
    /// What to do after reading shown (none: the field could not be read) before the caret, with
    /// every Backspace posted so far (the first ones and any asked for by more).
    Step next(const std::optional<std::string>& shown);

private:
    /// The scalars the field removed, as best the read tells; none when it cannot be followed.
    std::optional<std::size_t> removed(const std::u32string& shown) const;
    /// The clusters of before[0, keep) that lie at or after the start of the stale text.
    int clustersAfterStaleStart(std::size_t keep) const;

    std::u32string m_before;
    std::size_t m_stale = 0;                   // scalars
    std::vector<std::size_t> m_clusterStarts;  // scalar offsets in m_before
    bool m_readable = false;
    bool m_plain = true;
    int m_first = 0;
    int m_posted = 0;
    std::optional<std::size_t> m_lastRemoved;  // of the last read since the last post
    int m_rereads = 0;
    int m_rounds = 0;
};

}  // namespace kx
