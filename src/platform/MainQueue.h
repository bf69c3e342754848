#pragma once
// The main thread's queue: immediate blocks, delayed blocks and timers. In the application it is
// the Qt event loop; in tests a virtual clock that the test advances, so nothing ever sleeps.

#include <chrono>
#include <functional>
#include <memory>

namespace kx {

using Block = std::function<void()>;

/// A scheduled timer or delayed block. Destroying the handle cancels it; it may be destroyed from
/// inside its own block.
class TimerHandle {
public:
    virtual ~TimerHandle() = default;
};

class MainQueue {
public:
    virtual ~MainQueue() = default;

    /// Runs block on the main thread after what is already queued. Callable from any thread.
    virtual void async(Block block) = 0;
    /// Runs block on the main thread once, seconds from now, unless the handle is dropped first.
    /// Callable from any thread, and the handle may be dropped on any thread: once the drop has
    /// returned the block does not start, though a run already begun on the main thread finishes.
    [[nodiscard]] virtual std::unique_ptr<TimerHandle> after(double seconds, Block block) = 0;
    /// Runs block every interval seconds (or once when repeats is false) until the handle is dropped.
    /// Main thread only.
    [[nodiscard]] virtual std::unique_ptr<TimerHandle> timer(double interval, bool repeats, Block block) = 0;
    /// Monotonic seconds, for deadlines and ages.
    virtual double now() const = 0;
    /// Wall-clock time, for time stamps of records.
    virtual std::chrono::system_clock::time_point wallNow() const = 0;
};

}  // namespace kx
