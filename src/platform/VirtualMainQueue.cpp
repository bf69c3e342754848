#include "platform/VirtualMainQueue.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace kx {

namespace {

// The clock counts whole nanoseconds so that sums of delays like 0.1 + 0.2 land exactly where a
// test expects them; doubles would drift past or short of a due time.
using Ticks = std::int64_t;

Ticks toTicks(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return static_cast<Ticks>(std::llround(seconds * 1e9));
}

// A repeating timer with no interval would keep the clock from ever settling.
constexpr Ticks minimumRepeatInterval = 1'000'000;

// Wall time starts at a fixed moment, so records stamped in tests are reproducible.
const std::chrono::system_clock::time_point wallClockOrigin =
    std::chrono::system_clock::time_point(std::chrono::seconds(1'772'355'600));  // 2026-03-01T09:00:00Z

struct TimerState {
    Block block;
    Ticks interval = 0;
    bool repeats = false;
};

}  // namespace

struct VirtualMainQueue::Entry {
    Block block;
    std::shared_ptr<TimerState> timer;  // set for timers; block is then empty
};

struct VirtualMainQueue::Shared {
    mutable std::mutex mutex;
    Ticks now = 0;
    std::uint64_t nextSequence = 0;
    // Keyed by due time, then by scheduling order, which settles ties.
    std::map<std::pair<Ticks, std::uint64_t>, Entry> entries;

    void schedule(Ticks due, Entry entry) { entries.emplace(std::make_pair(due, nextSequence++), std::move(entry)); }

    void cancel(const TimerState* timer)
    {
        std::erase_if(entries, [timer](const auto& item) { return item.second.timer.get() == timer; });
    }

    // Runs the earliest block due at or before limit; false when there is none.
    bool runNext(Ticks limit)
    {
        std::unique_lock lock(mutex);
        auto first = entries.begin();
        if (first == entries.end() || first->first.first > limit)
            return false;
        const Ticks due = first->first.first;
        Entry entry = std::move(first->second);
        entries.erase(first);
        now = std::max(now, due);
        if (entry.timer && entry.timer->repeats)
            schedule(due + entry.timer->interval, Entry{{}, entry.timer});
        lock.unlock();
        if (entry.timer)
            entry.timer->block();
        else if (entry.block)
            entry.block();
        return true;
    }
};

namespace {

class VirtualTimerHandle final : public TimerHandle {
public:
    explicit VirtualTimerHandle(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}
    ~VirtualTimerHandle() override { m_cancel(); }

private:
    std::function<void()> m_cancel;
};

}  // namespace

VirtualMainQueue::VirtualMainQueue() : m_shared(std::make_shared<Shared>()) {}

VirtualMainQueue::~VirtualMainQueue() = default;

void VirtualMainQueue::async(Block block)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->schedule(m_shared->now, Entry{std::move(block), nullptr});
}

std::unique_ptr<TimerHandle> VirtualMainQueue::after(double seconds, Block block)
{
    return timer(seconds, false, std::move(block));
}

std::unique_ptr<TimerHandle> VirtualMainQueue::timer(double interval, bool repeats, Block block)
{
    auto state = std::make_shared<TimerState>();
    state->block = std::move(block);
    state->interval = repeats ? std::max(toTicks(interval), minimumRepeatInterval) : toTicks(interval);
    state->repeats = repeats;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->schedule(m_shared->now + state->interval, Entry{{}, state});
    }
    // The handle may outlive the queue; then there is nothing left to cancel.
    return std::make_unique<VirtualTimerHandle>(
        [queue = std::weak_ptr<Shared>(m_shared), timer = std::weak_ptr<TimerState>(state)] {
            auto shared = queue.lock();
            auto state = timer.lock();
            if (!shared || !state)
                return;
            std::lock_guard lock(shared->mutex);
            shared->cancel(state.get());
        });
}

double VirtualMainQueue::now() const
{
    std::lock_guard lock(m_shared->mutex);
    return static_cast<double>(m_shared->now) / 1e9;
}

std::chrono::system_clock::time_point VirtualMainQueue::wallNow() const
{
    std::lock_guard lock(m_shared->mutex);
    return wallClockOrigin +
           std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(m_shared->now));
}

void VirtualMainQueue::advance(double seconds)
{
    Ticks target = 0;
    {
        std::lock_guard lock(m_shared->mutex);
        target = m_shared->now + toTicks(seconds);
    }
    while (m_shared->runNext(target)) {
    }
    std::lock_guard lock(m_shared->mutex);
    m_shared->now = std::max(m_shared->now, target);
}

void VirtualMainQueue::runUntilIdle()
{
    advance(0);
}

std::size_t VirtualMainQueue::pending() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->entries.size();
}

}  // namespace kx
