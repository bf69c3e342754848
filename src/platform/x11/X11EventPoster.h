#pragma once
// Posts keys through XTEST. A key code goes to the key in the same place (evdev + 8) with the
// modifier keys its flags name held around it; text is typed by the key that types it on the
// current layout when no modifier is in the way, else by a spare keycode (one with no symbols)
// given the character's keysym. Spare keycodes keep their characters for reuse and are given new
// ones least recently used first, so that an application still behind on earlier characters does
// not find their keys changed under it (it would have to lag by the whole pool, about twenty keys
// on an evdev keymap); they are emptied again when the poster goes.
//
// Marked events go out on the keyboard connection, whose events the tap knows for ours; unmarked
// ones (the drill) on a connection of their own, so that they count as the user's typing.

#include "platform/EventPoster.h"
#include "platform/x11/KeyMapping.h"
#include "platform/x11/X11Keyboard.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct _XkbDesc;

namespace kx::platform::x11 {

class X11EventPoster final : public EventPoster {
public:
    explicit X11EventPoster(std::shared_ptr<X11Keyboard> keyboard);
    X11EventPoster(const X11EventPoster&) = delete;
    X11EventPoster& operator=(const X11EventPoster&) = delete;
    ~X11EventPoster() override;

    bool post(const SyntheticKey& event) override;
    /// Each post returns once the server has taken its events.
    bool acknowledges() const override { return true; }

private:
    struct Spare {
        unsigned keycode = 0;
        std::uint32_t keysym = 0;  // 0: empty
        std::uint64_t lastUse = 0;
    };
    struct Stroke {
        unsigned keycode = 0;
        bool shift = false;
    };
    /// The keys down on the keyboard now: the server drops a press of one of them.
    class KeysDown {
    public:
        explicit KeysDown(_XDisplay* display);
        bool contains(unsigned keycode) const;

    private:
        std::array<char, 32> m_bits{};
    };
    /// What a key-down pressed, for its key-up.
    struct Pressed {
        unsigned keycode = 0;
        std::vector<unsigned> modifiers;  // pressed by us, not those the user already held
    };

    std::optional<std::vector<X11Keyboard::FakeKey>> keysFor(_XDisplay* display, const SyntheticKey& event);
    std::optional<Stroke> strokeForKeysym(_XDisplay* display, std::uint32_t keysym, const KeysDown& down);
    std::optional<Stroke> typingKey(_XDisplay* display, std::uint32_t keysym, const KeysDown& down);
    /// A spare keycode, not down, that types keysym; none when every spare is down or none can be set.
    std::optional<unsigned> spareFor(_XDisplay* display, std::uint32_t keysym, const KeysDown& down);
    /// The X state bit the modifier keysym sets; 0 for others.
    unsigned modifierBit(std::uint32_t keysym) const;
    /// The Shift, Caps Lock and level-3 bits of flags.
    unsigned levelState(std::uint64_t flags) const;
    /// What keycode types in group with the modifiers of state; none for nothing.
    std::optional<std::uint32_t> typedKeysym(unsigned keycode, unsigned state, unsigned group) const;
    void refreshKeymap(_XDisplay* display);

    struct KeymapFree {
        void operator()(_XkbDesc* keymap) const;
    };

    std::shared_ptr<X11Keyboard> m_keyboard;
    std::mutex m_mutex;
    DisplayPtr m_unmarked;
    std::unique_ptr<_XkbDesc, KeymapFree> m_keymap;  // as it was at m_generation
    unsigned m_generation = ~0u;
    ModifierRoles m_roles;
    std::vector<Spare> m_spares;
    std::uint64_t m_uses = 0;
    /// The key each text character's key-down pressed, for its key-up.
    std::map<std::string, Stroke> m_pressedText;
    /// By virtual key code.
    std::map<std::uint16_t, Pressed> m_pressedKeys;
};

}  // namespace kx::platform::x11
