#pragma once
// Plays a typing plan through XTest on a connection of its own, as another X client (a user's
// keyboard) would, each event at its planned time on the monotonic clock.

#include "TypingPlan.h"

#include <cstdint>
#include <vector>

struct _XDisplay;

namespace kx::bench {

/// CLOCK_MONOTONIC in nanoseconds: the clock the probe fields stamp their changes with.
std::int64_t monotonicNanoseconds();

class Typist {
public:
    /// Opens $DISPLAY; check ok().
    Typist();
    Typist(const Typist&) = delete;
    Typist& operator=(const Typist&) = delete;
    ~Typist();

    bool ok() const { return m_display != nullptr; }
    /// Plays the plan from now on; the moment each word's Space went down, by word (-1 for a
    /// word whose Space was never pressed).
    std::vector<std::int64_t> play(const TypingPlan& plan);
    /// The moments the character and Space keys of the last play went down, in typing order.
    const std::vector<std::int64_t>& pressTimes() const { return m_pressAt; }
    /// Selects the field's whole text and deletes it (Ctrl+A, BackSpace) on the first layout,
    /// then clicks in the focused window, as a user starting afresh.
    void clearField();
    void lockGroup(unsigned group);

private:
    _XDisplay* m_display = nullptr;
    std::vector<std::int64_t> m_pressAt;
};

}  // namespace kx::bench
