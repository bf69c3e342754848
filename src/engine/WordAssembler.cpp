#include "engine/WordAssembler.h"

#include "platform/Text.h"

#include <algorithm>

namespace kx {

namespace {

constexpr std::uint64_t kShortcutMask = EventFlags::control | EventFlags::command;

}  // namespace

const std::unordered_set<char32_t>& WordAssembler::quoteFamily()
{
    static const std::unordered_set<char32_t> quotes{0x0027, 0x0022, 0x05F3, 0x05F4};
    return quotes;
}

bool WordAssembler::breaksWord(std::uint16_t code)
{
    switch (code) {
    case KeyCode::return_:
    case KeyCode::enter:
    case KeyCode::escape:
    case KeyCode::home:
    case KeyCode::pageUp:
    case KeyCode::end:
    case KeyCode::pageDown:
    case KeyCode::left:
    case KeyCode::right:
    case KeyCode::down:
    case KeyCode::up:
        return true;
    default:
        return false;
    }
}

WordAssembler::WordAssembler(const MainQueue& clock) : m_clock(clock) {}

void WordAssembler::handleKeyDown(std::uint16_t code, std::uint64_t flags,
                                  const std::optional<std::string>& producedChar, bool letterElsewhere,
                                  bool endsWordMark, bool quoteElsewhere)
{
    // Only the key-down right after a word may bring it back.
    const std::optional<Emitted> previous = std::move(lastEmitted);
    lastEmitted.reset();

    if (flags & kShortcutMask) {
        keys.clear();
        discontinuity();
        return;
    }
    if (breaksWord(code)) {
        keys.clear();
        discontinuity();
        return;
    }
    switch (code) {
    case KeyCode::tab:
    case KeyCode::space:
        if (keys.empty()) {
            if (onOrphanBreak)
                onOrphanBreak();
        } else {
            finishWord(code == KeyCode::tab ? Terminator(Tab{}) : Terminator(Space{}));
            keys.clear();
        }
        return;
    case KeyCode::delete_:
        if (!keys.empty()) {
            dropLastKey();
        } else if (previous && m_clock.now() - previous->at < restoreWindow) {
            keys = previous->keys;
            m_edgeKeys = 0;
            if (onRestoreLastWord)
                onRestoreLastWord(keys);
        } else {
            discontinuity();
        }
        return;
    case KeyCode::forwardDelete:
        if (!keys.empty())
            dropLastKey();
        else
            discontinuity();
        return;
    default:
        break;
    }

    const KeyStroke stroke{code, flags};
    if (producedChar && text::characterCount(*producedChar) == 1) {
        const char32_t c = text::toScalars(*producedChar).front();
        if (text::isLetter(c) || text::isDecimalDigit(c)) {
            append(stroke, false);
            return;
        }
        if (*producedChar == "-" || quoteFamily().contains(c)) {
            append(stroke, !letterElsewhere);
            return;
        }
        if (text::isPunctuation(c) || text::isSymbol(c)) {
            // The key may be a letter or a quote on the layout the user meant.
            if (letterElsewhere || quoteElsewhere) {
                append(stroke, !letterElsewhere);
                return;
            }
            if (endsWordMark && onlyEdgeKeys()) {
                // Before any letter or digit a closing mark may open the word on the layout meant
                // (the Hebrew and Arabic layouts swap the brackets), or belong to a token of marks
                // such as ':'; it stays with the keys around it, which go over to that layout
                // together.
                discontinuity();
                append(stroke, true);
                return;
            }
            if (endsWordMark)
                finishWord(Mark{stroke, *producedChar});
            keys.clear();
            discontinuity();
            return;
        }
    }
    if (letterElsewhere)
        append(stroke, false);
}

void WordAssembler::append(const KeyStroke& stroke, bool edge)
{
    // The controller may have emptied keys since the last key.
    if (keys.empty())
        m_edgeKeys = 0;
    if (edge && m_edgeKeys == keys.size())
        ++m_edgeKeys;
    keys.push_back(stroke);
}

void WordAssembler::dropLastKey()
{
    keys.pop_back();
    m_edgeKeys = std::min(m_edgeKeys, keys.size());
}

bool WordAssembler::onlyEdgeKeys() const
{
    return keys.empty() || keys.size() <= m_edgeKeys;
}

void WordAssembler::finishWord(const Terminator& terminator)
{
    if (keys.empty())
        return;
    // The callback may change keys; the word it was handed is the one remembered.
    std::vector<KeyStroke> word = keys;
    if (onWord)
        onWord(word, terminator);
    lastEmitted = Emitted{std::move(word), m_clock.now()};
}

void WordAssembler::discontinuity()
{
    if (onDiscontinuity)
        onDiscontinuity();
}

}  // namespace kx
