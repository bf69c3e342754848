#pragma once
// The keycodes with no symbols of their own, lent out to type characters that no key of the current
// layout types. A spare keeps its character for reuse for as long as the run lasts, since every
// change of the keymap makes each client on the desktop reload it, and gets a new one least
// recently used first, so that an application still behind on earlier characters does not find
// their keys changed under it. The characters a rewrite needs are given in one change, one
// request over the keycodes from the first spare to the last, since each request is one reload
// for every client. Which keycodes hold a character of ours is written on the root
// window, so a run that ended without giving them back (a crash, a kill) leaves them to the next
// run rather than losing them for the rest of the X session. Call every method inside
// X11Keyboard::with().

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <utility>
#include <vector>

struct _XDisplay;

namespace kx::platform::x11 {

/// Whether a keycode's core mapping (every column) is what lending it a character leaves: the
/// character's keysym twice, then nothing or the same again (XKB repeats a one-group key's
/// symbols in the other groups' columns). Pure.
bool isLentMapping(std::span<const std::uint32_t> keysyms);

class SpareKeycodes {
public:
    /// Reads the spares from the server's keymap: empty keycodes, ours still holding what we gave
    /// them, and the ones a previous run marked as lent that still hold a character.
    void refresh(_XDisplay* display);
    /// The spare that types keysym, lending one for it when none does; none when there is no
    /// spare or the server refuses the change (logged).
    std::optional<unsigned> lend(_XDisplay* display, std::uint32_t keysym);
    /// Makes spares type every one of keysyms, with one change of the keymap for those none types
    /// yet; a spare that types one of them keeps it. False, changing nothing, when there are fewer
    /// spares than keysyms or the server refuses the change (logged).
    bool lendAll(_XDisplay* display, const std::set<std::uint32_t>& keysyms);
    /// The spare lend() would give keysym, changing nothing: the one that types it, else the one
    /// used longest ago; none when there is no spare.
    std::optional<unsigned> candidate(std::uint32_t keysym) const;
    /// Grows each time lend() gives a spare a new character: the applications must read the new
    /// keymap before a press of it reaches them.
    std::uint64_t changes() const { return m_changes; }
    /// Whether a spare already types keysym.
    bool holds(std::uint32_t keysym) const;
    bool contains(unsigned keycode) const;
    std::size_t size() const { return m_spares.size(); }
    /// Empties every lent keycode and takes the mark off the root window.
    void giveBack(_XDisplay* display);

private:
    struct Spare {
        unsigned keycode = 0;
        std::uint32_t keysym = 0;  // 0: empty
        std::uint64_t lastUse = 0;
    };

    /// Of a non-empty list: the index of the spare that types keysym, else of the one used longest ago.
    std::size_t chosenFor(std::uint32_t keysym) const;
    /// Gives each spare its keysym (0: none) in one request; false when the server refuses it.
    bool assign(_XDisplay* display, const std::vector<std::pair<Spare*, std::uint32_t>>& given);
    void noteAssigned(_XDisplay* display, const std::vector<std::pair<Spare*, std::uint32_t>>& given);
    std::set<unsigned> markedLent(_XDisplay* display) const;
    void markLent(_XDisplay* display) const;

    std::vector<Spare> m_spares;
    std::uint64_t m_uses = 0;
    std::uint64_t m_changes = 0;
};

}  // namespace kx::platform::x11
