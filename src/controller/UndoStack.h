#pragma once
// The rewrites that can be taken back, newest last, and the Command-Z gate: Command-Z undoes the
// newest rewrite only as the very next key after it and only for a short while.

#include "controller/ActuationStrategy.h"
#include "engine/KeyboardLayoutInfo.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kx {

/// One undoable rewrite.
struct LastCorrection {
    std::string insertedText;
    std::string originalText;
    KeyboardLayoutInfo previousLayout;
    ActuationStrategy strategy = ActuationStrategy::synthetic;
    double at = 0;  // main-queue seconds
};

class UndoStack {
public:
    static constexpr std::size_t undoStackLimit = 10;
    /// How long after a rewrite Command-Z still takes it back.
    static constexpr double cmdZWindow = 12.0;

    /// Adds the newest rewrite, made when keyGen keys had been seen. trim keeps the newest
    /// undoStackLimit entries (span corrections and conversions); the repairs push without it.
    void push(LastCorrection entry, bool trim, int keyGen);
    /// Whether Command-Z at now, with keyGen keys seen, takes back the newest rewrite: no key
    /// came since it and it is younger than cmdZWindow.
    bool cmdZApplies(int keyGen, double now) const;

    bool empty() const { return m_entries.empty(); }
    std::size_t size() const { return m_entries.size(); }
    /// The newest entry. Not empty.
    const LastCorrection& top() const { return m_entries.back(); }
    /// Removes the newest entry. Not empty.
    void pop() { m_entries.pop_back(); }
    void clear() { m_entries.clear(); }
    /// Oldest first.
    const std::vector<LastCorrection>& entries() const { return m_entries; }

private:
    std::vector<LastCorrection> m_entries;
    int m_keyGenAtLastCorrection = -1;
};

}  // namespace kx
