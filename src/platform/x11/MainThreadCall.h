#pragma once
// Runs a piece of work on the thread that owns a Qt object (the GUI thread) and waits for it, so
// that services bound to that thread (the clipboard) can be asked from worker queues.

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace kx::platform::x11 {

/// work's result, run at once when the caller is on context's thread, else queued there. Waits at
/// most timeout; none when it did not finish in time (it still runs later, its result dropped) or
/// when context is gone before it ran. The owner's event loop must be running for queued work.
template <typename T>
std::optional<T> callOnThreadOf(QObject* context, std::function<T()> work, std::chrono::milliseconds timeout)
{
    if (QThread::currentThread() == context->thread())
        return work();
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<T> result;
    };
    auto shared = std::make_shared<Shared>();
    QMetaObject::invokeMethod(
        context,
        [shared, work = std::move(work)] {
            T result = work();
            std::lock_guard lock(shared->mutex);
            shared->result = std::move(result);
            shared->done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(shared->mutex);
    shared->done.wait_for(lock, timeout, [&] { return shared->result.has_value(); });
    return std::move(shared->result);
}

}  // namespace kx::platform::x11
