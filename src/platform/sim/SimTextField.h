#pragma once
// The focused text field of a simulated application: text, caret and selection, and what a key
// does to them. Offsets are Unicode scalars; the accessibility view converts to UTF-16 units.

#include "platform/Accessibility.h"
#include "platform/EventPoster.h"
#include "platform/KeyStroke.h"
#include "platform/KeyTable.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kx::sim {

class SimPasteboard;

class SimTextField {
public:
    /// Replaces the contents; the caret goes to the end, nothing is selected.
    void setText(std::string_view text);
    /// Places the caret (clamped to the text), dropping the selection.
    void setCaret(std::size_t offset);
    /// Selects [from, to) (clamped); the caret sits at to.
    void select(std::size_t from, std::size_t to);

    std::string text() const;
    std::string selectedText() const;
    std::size_t caret() const { return m_caret; }
    /// The text with "|" at the caret and the selection in brackets: "ab|c", "a[bc]|".
    std::string withCaret() const;

    /// Types text over the selection.
    void insert(std::string_view text);
    /// Deletes the selection, or else what one Backspace takes before the caret (backspaceTakes).
    void backspace();

    /// Whether key types through the layout (rather than editing, inserting its own text or
    /// being a shortcut).
    static bool typesThroughLayout(const platform::SyntheticKey& key);
    /// What a key-down that reached the field does. Text keys type what layout gives for the key,
    /// a dead key's accent composed onto the next key's character as a real field does;
    /// Command+V pastes, Command+C copies a non-empty selection; Control chords type nothing.
    void keyDown(const platform::SyntheticKey& key, const platform::KeyTable& layout, SimPasteboard& pasteboard);

    // The accessibility view.
    platform::TextRange selectedRange() const;  // UTF-16 units

    /// Not a text element to accessibility: every read gives none.
    bool unreadable = false;
    /// Seconds the application takes to answer an accessibility read; reads with a shorter
    /// time-out give none.
    double answerDelay = 0;
    /// Application quirks: the first Space typed after a paste is lost; after a layout change the
    /// next keys that type through the layout still type on the layout selected before.
    bool swallowsSpaceAfterPaste = false;
    int keysOnOldLayout = 0;
    /// What one Backspace takes: a Unicode scalar (Qt's fields), or the whole character cluster
    /// before the caret, combining marks with their base (GTK's fields, terminals).
    enum class Backspace { scalar, cluster };
    Backspace backspaceTakes = Backspace::scalar;
    /// Typed ligatures and presentation forms are kept as the letters they stand for (Qt's
    /// fields keep the Arabic layout's lam-alef as lam and alef).
    bool keepsLigaturesAsLetters = false;

private:
    std::size_t selectionStart() const { return std::min(m_anchor, m_caret); }
    std::size_t selectionEnd() const { return std::max(m_anchor, m_caret); }
    std::u32string_view selection() const
    {
        return std::u32string_view(m_text).substr(selectionStart(), selectionEnd() - selectionStart());
    }

    std::u32string m_text;
    std::size_t m_caret = 0;
    std::size_t m_anchor = 0;           // the other end of the selection; equal to m_caret when none
    bool m_pasted = false;              // the last key was a paste
    std::vector<KeyStroke> m_deadKeys;  // dead keys waiting for the key their accent goes on
};

}  // namespace kx::sim
