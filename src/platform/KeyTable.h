#pragma once
// What every key of one keyboard layout types, compiled once with xkbcommon from xkb-data: for each
// macOS virtual key code 0-127 and each combination of Shift, Caps Lock and Option (level 3), the
// text of the key, or nothing (no symbol, or a dead key), and for a dead key the combining accent it
// puts on the next letter. Translating a key is then a look-up.
// A table is immutable; copies share one block of data, so passing it by value is cheap.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kx::platform {

class KeyTable {
public:
    static constexpr std::uint16_t keyCount = 128;
    /// Modifier bits of text(); every combination 0-7 is a column of the table.
    enum Modifier : unsigned { shift = 1, capsLock = 2, option = 4 };
    static constexpr unsigned modifierCombinations = 8;

    struct Entry {
        std::uint16_t code = 0;
        unsigned modifiers = 0;
        std::string text;
        char32_t deadAccent = 0;  // a dead key's combining accent; 0 for any other key
    };

    /// The empty table: every key types nothing.
    KeyTable() = default;
    /// A table holding exactly these entries; entries out of range are ignored.
    static KeyTable fromEntries(const std::vector<Entry>& entries);
    /// The table of an XKB layout ("il") and optional variant ("phonetic"), compiled on first use
    /// and kept for the life of the process. Empty, with one log line, when xkb-data does not know
    /// the layout or the name is not a plain XKB name. Any thread.
    static KeyTable forLayout(std::string_view layout, std::string_view variant = {});

    /// No key types anything.
    bool empty() const { return m_data == nullptr; }
    /// What the key types with these modifiers; empty when it types nothing or is out of range.
    std::string_view text(std::uint16_t code, unsigned modifiers) const;
    /// The combining accent that the key, a dead key with these modifiers, puts on the next
    /// letter; 0 when it is no dead key with an accent we know, or is out of range.
    char32_t deadAccent(std::uint16_t code, unsigned modifiers) const;

private:
    struct Data;
    std::shared_ptr<const Data> m_data;
};

}  // namespace kx::platform
