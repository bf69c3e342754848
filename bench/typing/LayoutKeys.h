#pragma once
// What the keys of a keyboard type on each layout of a group list ("us,il"), computed with
// xkbcommon from the same rules the X server uses (evdev, pc105), so the typist knows which key
// and Shift state a character needs on the layout it is meant for, and what that key types on
// the layout actually selected. Only the main key block and the levels reached with Shift are
// used: a character that needs AltGr or the keypad is not typeable.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace kx::bench {

/// One key press as a typist makes it: an X keycode, with or without Shift.
struct Stroke {
    unsigned keycode = 0;
    bool shift = false;
    bool operator==(const Stroke&) const = default;
};

/// Immutable once compiled.
class LayoutKeys {
public:
    /// The table of the layouts, comma-separated as setxkbmap takes them; none when xkbcommon
    /// cannot compile them.
    static std::optional<LayoutKeys> compile(const std::string& layouts);

    LayoutKeys(LayoutKeys&&) noexcept;
    LayoutKeys& operator=(LayoutKeys&&) noexcept;
    ~LayoutKeys();

    std::size_t groupCount() const;
    /// The strokes that type text on group, one per character; none when a character cannot be
    /// typed there.
    std::optional<std::vector<Stroke>> strokesFor(std::string_view text, unsigned group) const;
    /// What a stroke types on group (UTF-8); empty when it types nothing.
    std::string textOf(const Stroke& stroke, unsigned group) const;
    /// What strokes type one after another on group.
    std::string textOf(const std::vector<Stroke>& strokes, unsigned group) const;

    /// The keycodes of the keys the typist needs besides the characters.
    static constexpr unsigned shiftKeycode = 50;
    static constexpr unsigned spaceKeycode = 65;

private:
    struct Compiled;
    explicit LayoutKeys(std::unique_ptr<Compiled> compiled);
    std::unique_ptr<Compiled> m_compiled;
};

}  // namespace kx::bench
