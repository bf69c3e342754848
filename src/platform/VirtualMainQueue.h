#pragma once
// A main queue on a virtual clock for tests: blocks run in due-time order, ties in the order they
// were scheduled; blocks scheduled while others run are honoured. Single-threaded: async() from
// another thread is queued under a lock and runs at the next advance(). now() starts at 0 and
// wallNow() at 2026-03-01T09:00:00Z; both move only with advance().

#include "platform/MainQueue.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace kx {

class VirtualMainQueue final : public MainQueue {
public:
    VirtualMainQueue();
    ~VirtualMainQueue() override;

    void async(Block block) override;
    [[nodiscard]] std::unique_ptr<TimerHandle> after(double seconds, Block block) override;
    [[nodiscard]] std::unique_ptr<TimerHandle> timer(double interval, bool repeats, Block block) override;
    double now() const override;
    std::chrono::system_clock::time_point wallNow() const override;

    /// Moves the clock forward by seconds, running every block that falls due on the way.
    void advance(double seconds);
    /// Runs what is due now (including blocks those schedule for now) without moving the clock.
    void runUntilIdle();
    /// Number of blocks still scheduled (timers included).
    std::size_t pending() const;

private:
    struct Entry;
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

}  // namespace kx
