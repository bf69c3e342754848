#pragma once
// Delayed blocks that belong to one owner, for an owner with several under way at once (each
// flash of the status item restores its own glyph). Each handle is let go once its block has
// begun; those still waiting are cancelled with the set, so no block outlives its owner.
// Thread-safe: blocks may be added and counted from any thread; they run on the main thread.

#include "platform/MainQueue.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace kx {

class DelayedBlocks {
public:
    /// main must outlive the set.
    explicit DelayedBlocks(MainQueue& main) : m_main(main) {}
    DelayedBlocks(const DelayedBlocks&) = delete;
    DelayedBlocks& operator=(const DelayedBlocks&) = delete;

    /// Runs block on the main thread seconds from now, unless the set is dropped first.
    void after(double seconds, Block block);
    /// How many blocks have yet to begin.
    std::size_t pending() const;

private:
    MainQueue& m_main;
    mutable std::mutex m_mutex;
    std::map<std::uint64_t, std::unique_ptr<TimerHandle>> m_waiting;
    std::uint64_t m_next = 0;
};

}  // namespace kx
