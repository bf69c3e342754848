#include "platform/x11/QtMainQueue.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace kx::platform::x11 {

namespace {

// QTimer counts whole milliseconds in an int; a longer delay is clamped rather than wrapped.
int toMilliseconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    const double ms = std::ceil(seconds * 1000.0);
    return ms >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(ms);
}

class QtTimerHandle final : public TimerHandle {
public:
    QtTimerHandle(double interval, bool repeats, Block block) : m_timer(std::make_unique<QTimer>())
    {
        m_timer->setTimerType(Qt::PreciseTimer);
        m_timer->setSingleShot(!repeats);
        // A repeating timer with no interval would spin the loop; 1 ms is the floor.
        m_timer->setInterval(repeats ? std::max(1, toMilliseconds(interval)) : toMilliseconds(interval));
        QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), std::move(block));
        m_timer->start();
    }

private:
    std::unique_ptr<QTimer> m_timer;
};

// A delayed block may be asked for and dropped on any thread, so the handle never touches the Qt
// timer, which lives on the main thread: it marks the block cancelled, and the timer, when it
// fires, runs nothing. The block itself is let go with the timer, never by the handle, so a block
// may drop its own handle while it runs.
struct DelayedBlock {
    explicit DelayedBlock(Block b) : block(std::move(b)) {}
    Block block;
    std::atomic<bool> cancelled = false;
};

class DelayedBlockHandle final : public TimerHandle {
public:
    explicit DelayedBlockHandle(std::shared_ptr<DelayedBlock> state) : m_state(std::move(state)) {}
    ~DelayedBlockHandle() override { m_state->cancelled = true; }

private:
    std::shared_ptr<DelayedBlock> m_state;
};

}  // namespace

QtMainQueue::QtMainQueue() : m_context(std::make_unique<QObject>()) {}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::async(Block block)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(block), Qt::QueuedConnection);
}

std::unique_ptr<TimerHandle> QtMainQueue::after(double seconds, Block block)
{
    auto state = std::make_shared<DelayedBlock>(std::move(block));
    const auto run = [state] {
        if (!state->cancelled)
            state->block();
    };
    const int ms = toMilliseconds(seconds);
    if (ms == 0) {
        async(run);
        return std::make_unique<DelayedBlockHandle>(state);
    }
    // singleShot from another thread would start the timer there; hop to the main thread first.
    QObject* context = m_context.get();
    QMetaObject::invokeMethod(
        context, [context, ms, run] { QTimer::singleShot(ms, Qt::PreciseTimer, context, run); }, Qt::QueuedConnection);
    return std::make_unique<DelayedBlockHandle>(state);
}

std::unique_ptr<TimerHandle> QtMainQueue::timer(double interval, bool repeats, Block block)
{
    return std::make_unique<QtTimerHandle>(interval, repeats, std::move(block));
}

double QtMainQueue::now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_origin).count();
}

std::chrono::system_clock::time_point QtMainQueue::wallNow() const
{
    return std::chrono::system_clock::now();
}

}  // namespace kx::platform::x11
