#include "platform/sim/SimTextField.h"

#include "engine/TranslationEngine.h"
#include "platform/KeyStroke.h"
#include "platform/Text.h"
#include "platform/sim/SimPasteboard.h"

#include <algorithm>
#include <utility>

namespace kx::sim {

namespace {

// Ctrl plays Command on Linux, Alt plays Control; Command+V and Command+C are the edit chords.
constexpr std::uint16_t keyC = 8;
constexpr std::uint16_t keyV = 9;

// Control characters a key may produce (Escape, Delete) that a text field does not take as text.
bool isTypeable(std::u32string_view scalars)
{
    return std::none_of(scalars.begin(), scalars.end(),
                        [](char32_t c) { return (c < 0x20 && c != U'\t' && c != U'\n') || c == 0x7F; });
}

}  // namespace

void SimTextField::setText(std::string_view text)
{
    m_text = text::toScalars(text);
    m_caret = m_anchor = m_text.size();
}

void SimTextField::setCaret(std::size_t offset)
{
    m_caret = m_anchor = std::min(offset, m_text.size());
}

void SimTextField::select(std::size_t from, std::size_t to)
{
    m_anchor = std::min(from, m_text.size());
    m_caret = std::min(to, m_text.size());
}

std::string SimTextField::text() const
{
    return text::fromScalars(m_text);
}

std::string SimTextField::selectedText() const
{
    return text::fromScalars(selection());
}

std::string SimTextField::withCaret() const
{
    std::u32string shown;
    for (std::size_t i = 0; i <= m_text.size(); ++i) {
        if (m_anchor != m_caret && i == selectionStart()) {
            if (i == m_caret)
                shown += U'|';
            shown += U'[';
        }
        if (m_anchor != m_caret && i == selectionEnd()) {
            shown += U']';
            if (i == m_caret)
                shown += U'|';
        }
        if (m_anchor == m_caret && i == m_caret)
            shown += U'|';
        if (i < m_text.size())
            shown += m_text[i];
    }
    return text::fromScalars(shown);
}

void SimTextField::insert(std::string_view text)
{
    const std::u32string scalars = text::toScalars(keepsLigaturesAsLetters ? text::nfkc(text) : std::string(text));
    const std::size_t start = selectionStart();
    m_text.replace(start, selectionEnd() - start, scalars);
    m_caret = m_anchor = start + scalars.size();
}

void SimTextField::backspace()
{
    if (m_anchor != m_caret) {
        insert({});
        return;
    }
    if (m_caret == 0)
        return;
    std::size_t taken = 1;
    if (backspaceTakes == Backspace::cluster)
        taken = text::scalarCount(
            text::characters(text::fromScalars(std::u32string_view(m_text).substr(0, m_caret))).back());
    m_text.erase(m_caret - taken, taken);
    m_caret = m_anchor = m_caret - taken;
}

bool SimTextField::typesThroughLayout(const platform::SyntheticKey& key)
{
    return key.text.empty() && !(key.flags & (EventFlags::command | EventFlags::control)) &&
           key.code != KeyCode::delete_ && key.code != KeyCode::left && key.code != KeyCode::right;
}

void SimTextField::keyDown(const platform::SyntheticKey& key, const platform::KeyTable& layout,
                           SimPasteboard& pasteboard)
{
    const bool afterPaste = std::exchange(m_pasted, false);
    // Any key ends a dead key's wait; one that types through the layout takes its accent.
    std::vector<KeyStroke> sequence = std::exchange(m_deadKeys, {});
    if (!key.text.empty()) {
        insert(key.text);
        return;
    }
    if (key.flags & EventFlags::command) {
        if (key.code == keyV) {
            if (const auto pasted = pasteboard.string()) {
                insert(*pasted);
                m_pasted = true;
            }
        } else if (key.code == keyC && m_anchor != m_caret) {
            pasteboard.clearContents();
            pasteboard.setString(selectedText());
        }
        return;
    }
    if (key.flags & EventFlags::control)
        return;
    switch (key.code) {
    case KeyCode::delete_:
        backspace();
        return;
    case KeyCode::left:
        setCaret(m_anchor != m_caret ? selectionStart() : (m_caret > 0 ? m_caret - 1 : 0));
        return;
    case KeyCode::right:
        setCaret(m_anchor != m_caret ? selectionEnd() : m_caret + 1);
        return;
    case KeyCode::space:
        if (afterPaste && swallowsSpaceAfterPaste)
            return;
        break;
    default:
        break;
    }
    auto typed = TranslationEngine::character(key.code, key.flags, layout);
    sequence.push_back({key.code, key.flags});
    if (!typed) {
        if (TranslationEngine::deadAccent(key.code, key.flags, layout) != 0)
            m_deadKeys = std::move(sequence);
        return;
    }
    if (sequence.size() > 1)
        typed = TranslationEngine::reconstruct(sequence, layout);
    // Return types a carriage return; the field keeps lines the Unix way.
    if (*typed == "\r")
        typed = "\n";
    if (isTypeable(text::toScalars(*typed)))
        insert(*typed);
}

platform::TextRange SimTextField::selectedRange() const
{
    const auto units = [](std::u32string_view part) {
        return static_cast<std::int64_t>(text::utf16Count(text::fromScalars(part)));
    };
    return {units(std::u32string_view(m_text).substr(0, selectionStart())), units(selection())};
}

}  // namespace kx::sim
