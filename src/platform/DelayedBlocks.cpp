#include "platform/DelayedBlocks.h"

#include <utility>

namespace kx {

void DelayedBlocks::after(double seconds, Block block)
{
    // Held while the block is scheduled: one asked for from another thread may begin on the main
    // thread at once, and must find its handle in place to let it go.
    std::lock_guard lock(m_mutex);
    const std::uint64_t id = m_next++;
    m_waiting.emplace(id, m_main.after(seconds, [this, id, block = std::move(block)] {
        std::unique_ptr<TimerHandle> own;
        {
            std::lock_guard lock(m_mutex);
            own = std::exchange(m_waiting[id], nullptr);
            m_waiting.erase(id);
        }
        // Nothing of the set is touched after this: the block may drop the set's owner.
        block();
    }));
}

std::size_t DelayedBlocks::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting.size();
}

}  // namespace kx
