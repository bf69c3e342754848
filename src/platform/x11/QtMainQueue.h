#pragma once
// The main queue over the Qt event loop of the thread that creates it (the GUI thread). Blocks
// handed in from other threads are posted to that thread's loop; they never run on the caller.

#include "platform/MainQueue.h"

#include <chrono>
#include <memory>

class QObject;

namespace kx::platform::x11 {

class QtMainQueue final : public MainQueue {
public:
    /// Must be created on the thread that runs the Qt event loop, after QCoreApplication exists.
    QtMainQueue();
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void async(Block block) override;
    [[nodiscard]] std::unique_ptr<TimerHandle> after(double seconds, Block block) override;
    [[nodiscard]] std::unique_ptr<TimerHandle> timer(double interval, bool repeats, Block block) override;
    /// Seconds of the monotonic clock since this queue was made.
    double now() const override;
    std::chrono::system_clock::time_point wallNow() const override;

private:
    // Owned here, deleted with the queue: blocks still posted to it are dropped with it.
    std::unique_ptr<QObject> m_context;
    std::chrono::steady_clock::time_point m_origin = std::chrono::steady_clock::now();
};

}  // namespace kx::platform::x11
