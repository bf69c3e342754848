#pragma once
// Posts keys through XTEST. A key code goes to the key in the same place (evdev + 8) with the
// modifier keys its flags name held around it; text is typed by the key of the current layout
// that types the same character (hebrew_shin types U+05E9), else by such a key of another layout
// with that layout's group latched for the press, else by a spare keycode lent the character
// (SpareKeycodes); the spares keep their characters and are given back when the poster goes.
// Latching a group changes no keymap: a layout selected again between a rewrite's switch and its
// keys costs no client a reload. The user's keys are left as they are: a key the user holds is not pressed, and what no
// key types under the user's Shift or AltGr is typed by a spare. Such a hold is waited out briefly before a spare is
// given a new character, since every client reloads the keymap then. Ctrl, Alt or Super still held, which would make
// our key a chord, are waited out briefly, then let go around our keys.
//
// Marked events go out on the keyboard connection, whose events the tap knows for ours; unmarked
// ones (the drill) on a connection of their own, so that they count as the user's typing.

#include "platform/EventPoster.h"
#include "platform/x11/KeyMapping.h"
#include "platform/x11/SpareKeycodes.h"
#include "platform/x11/X11Keyboard.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
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
    /// Marked events go out together, under one grab of the server, with one acknowledgement.
    bool postBatch(const std::vector<SyntheticKey>& events) override;
    /// The focus window as XGetInputFocus gives it, None and PointerRoot included.
    std::optional<FocusWindow> focusWindow() override;
    /// A window inside the same top-level window counts as the same window.
    bool focusStillIn(FocusWindow window) override;
    /// The focus is checked with the server grabbed, just before the keys go out.
    BatchOutcome postBatchInto(FocusWindow window, const std::vector<SyntheticKey>& events) override;
    bool canType(const std::string& text) override;
    /// Each post returns once the server has taken its events; a marked key-down goes out with
    /// its key-up, in one go.
    bool acknowledges() const override { return true; }

private:
    struct Stroke {
        unsigned keycode = 0;
        bool shift = false;
        /// From the selected group to the one whose key this is (X11Keyboard::FakeKey).
        int groupLatch = 0;
    };
    /// The keys down on the keyboard now: the server drops a press of one of them.
    class KeysDown {
    public:
        explicit KeysDown(_XDisplay* display);
        bool contains(unsigned keycode) const;
        bool empty() const;
        /// Whether a key is down in both.
        bool intersects(const KeysDown& other) const;

    private:
        std::array<char, 32> m_bits{};
    };
    /// What a key-down pressed, for its key-up.
    struct Pressed {
        unsigned keycode = 0;
        std::vector<unsigned> modifiers;  // pressed by us, not those the user already held
    };

    /// into: the window the keys must go to; when the focus has left it, nothing goes out and
    /// m_focusLeft is set.
    bool postMarked(const std::vector<SyntheticKey>& events, std::optional<FocusWindow> into = std::nullopt);
    /// Whether the focus is in window, or in another window of the same top-level window.
    static bool focusStillInLocked(_XDisplay* display, FocusWindow window);
    std::optional<std::vector<X11Keyboard::FakeKey>> keysFor(_XDisplay* display, const SyntheticKey& event);
    std::optional<Stroke> strokeForKeysym(_XDisplay* display, std::uint32_t keysym, const KeysDown& down);
    std::optional<Stroke> typingKey(_XDisplay* display, std::uint32_t keysym, const KeysDown& down);
    unsigned chordModifiers(const SyntheticKey& event) const;
    /// Of mask, the modifiers whose keys are held down now.
    unsigned heldModifiers(_XDisplay* display, unsigned mask) const;
    /// Waits briefly for the modifiers of mask to be let go; those still held in the end.
    unsigned awaitChordRelease(unsigned mask);
    void awaitHeldKeys(const std::vector<SyntheticKey>& events);
    /// Whether posting events now would give a spare a character it does not type yet.
    bool lendsNewCharacter(_XDisplay* display, const std::vector<SyntheticKey>& events);
    /// Gives the spares every character events would type with them now, in one keymap change;
    /// whether the keymap changed.
    bool lendAhead(const std::vector<SyntheticKey>& events);
    /// The spare that types keysym, lent it when none does; while probing, only noted.
    std::optional<unsigned> spareFor(_XDisplay* display, std::uint32_t keysym);
    std::vector<X11Keyboard::FakeKey> clearedOfHeldModifiers(_XDisplay* display, unsigned modifiers,
                                                             std::vector<X11Keyboard::FakeKey> keys);
    /// The X state bit the modifier keysym sets; 0 for others.
    unsigned modifierBit(std::uint32_t keysym) const;
    /// The Shift, Caps Lock and level-3 bits of flags.
    unsigned levelState(std::uint64_t flags) const;
    /// What keycode types in group with the modifiers of state; none for nothing.
    std::optional<std::uint32_t> typedKeysym(unsigned keycode, unsigned state, unsigned group) const;
    void refreshKeymap(_XDisplay* display);
    void refreshIfChanged(_XDisplay* display);

    struct KeymapFree {
        void operator()(_XkbDesc* keymap) const;
    };

    std::shared_ptr<X11Keyboard> m_keyboard;
    std::mutex m_mutex;
    DisplayPtr m_unmarked;
    std::unique_ptr<_XkbDesc, KeymapFree> m_keymap;  // as it was at m_generation
    unsigned m_generation = ~0u;
    ModifierRoles m_roles;
    /// The keymap's groups (layouts).
    unsigned m_groups = 1;
    SpareKeycodes m_spares;
    /// The key each text character's key-down pressed, for its key-up.
    std::map<std::string, Stroke> m_pressedText;
    /// By virtual key code.
    std::map<std::uint16_t, Pressed> m_pressedKeys;
    /// A key-down of ours that goes out with its key-up.
    std::optional<SyntheticKey> m_pendingDown;
    /// Working out keys without lending: whether a spare would get a new character, and the
    /// characters spares would type.
    struct Probe {
        bool active = false;
        bool lends = false;
        std::set<std::uint32_t> keysyms;
    };
    Probe m_probe;
    /// The keys down when a hold outlasted our wait: while one of them is, posts do not wait again.
    std::optional<KeysDown> m_outwaited;
    /// The last postMarked() found the focus gone from the window it was to type into.
    bool m_focusLeft = false;
};

}  // namespace kx::platform::x11
