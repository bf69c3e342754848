#pragma once
// Turns the stream of ordinary key-downs into finished words, kept as key strokes, with what ended
// each word. The key observer translates every key first and passes the answers as flags; the
// assembler reports through four callbacks. Main thread only; it owns no timer.

#include "platform/KeyStroke.h"
#include "platform/MainQueue.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

namespace kx {

class WordAssembler {
public:
    /// A punctuation key ended the word: the key and the exact text it typed.
    struct Mark {
        KeyStroke key;
        std::string text;
        bool operator==(const Mark&) const = default;
    };
    struct Space {
        bool operator==(const Space&) const = default;
    };
    struct Tab {
        bool operator==(const Tab&) const = default;
    };
    using Terminator = std::variant<Mark, Space, Tab>;

    struct Emitted {
        std::vector<KeyStroke> keys;
        double at = 0;  // clock seconds
    };

    /// Delete brings the last word back only this long after it ended.
    static constexpr double restoreWindow = 8.0;

    /// Apostrophe, quotation mark, Hebrew geresh and gershayim: they stay inside words.
    static const std::unordered_set<char32_t>& quoteFamily();
    /// Return, Enter, Escape and the keys that move the caret: they break the word in progress off.
    static bool breaksWord(std::uint16_t code);

    /// clock gives the time (now()) and must outlive the assembler.
    explicit WordAssembler(const MainQueue& clock);

    /// One key-down. producedChar is what the key types on the current layout; letterElsewhere,
    /// endsWordMark and quoteElsewhere are the key observer's findings on the other layouts.
    void handleKeyDown(std::uint16_t code, std::uint64_t flags, const std::optional<std::string>& producedChar,
                       bool letterElsewhere, bool endsWordMark, bool quoteElsewhere);

    /// The word in progress. The controller may empty it.
    std::vector<KeyStroke> keys;
    /// The last word handed to onWord; lives only until the next key-down.
    std::optional<Emitted> lastEmitted;

    std::function<void(const std::vector<KeyStroke>& keys, const Terminator& terminator)> onWord;
    std::function<void(const std::vector<KeyStroke>& keys)> onRestoreLastWord;
    std::function<void()> onDiscontinuity;
    std::function<void()> onOrphanBreak;

private:
    void finishWord(const Terminator& terminator);
    void discontinuity();
    /// edge: the key types no letter or digit here and no letter elsewhere (a quote, a hyphen, a mark).
    void append(const KeyStroke& stroke, bool edge);
    void dropLastKey();
    /// The word in progress has no letter or digit yet.
    bool onlyEdgeKeys() const;

    const MainQueue& m_clock;
    /// How many of the first keys of keys are edge keys.
    std::size_t m_edgeKeys = 0;
};

}  // namespace kx
