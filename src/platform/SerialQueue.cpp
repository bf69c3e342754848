#include "platform/SerialQueue.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace kx {

namespace {

class ThreadedQueue final : public SerialQueue {
public:
    explicit ThreadedQueue(std::string label) : m_label(std::move(label)), m_thread([this] { run(); }) {}

    ~ThreadedQueue() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void async(Block block) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_blocks.push_back(std::move(block));
        }
        m_wake.notify_all();
    }

    void waitUntilIdle() override
    {
        // A block waiting for its own queue would wait for itself forever.
        if (std::this_thread::get_id() == m_thread.get_id())
            return;
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_blocks.empty() && !m_running; });
    }

private:
    void run()
    {
        // Linux limits thread names to 15 bytes.
        pthread_setname_np(pthread_self(), m_label.substr(0, 15).c_str());
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_blocks.empty(); });
            if (m_blocks.empty())
                return;  // stopping, and everything queued has run
            Block block = std::move(m_blocks.front());
            m_blocks.pop_front();
            m_running = true;
            lock.unlock();
            if (block)
                block();
            block = nullptr;  // captures are released on the worker, outside the lock
            lock.lock();
            m_running = false;
            if (m_blocks.empty())
                m_idle.notify_all();
        }
    }

    std::string m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Block> m_blocks;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;  // last: it starts once every other member exists
};

class InlineQueue final : public SerialQueue {
public:
    void async(Block block) override
    {
        // A block that queues another runs it after itself, as a serial queue would.
        m_blocks.push_back(std::move(block));
        if (m_draining)
            return;
        m_draining = true;
        while (!m_blocks.empty()) {
            Block next = std::move(m_blocks.front());
            m_blocks.pop_front();
            if (next)
                next();
        }
        m_draining = false;
    }

    void waitUntilIdle() override {}

private:
    std::deque<Block> m_blocks;
    bool m_draining = false;
};

}  // namespace

std::unique_ptr<SerialQueue> SerialQueue::threaded(std::string label)
{
    return std::make_unique<ThreadedQueue>(std::move(label));
}

std::unique_ptr<SerialQueue> SerialQueue::inlineQueue()
{
    return std::make_unique<InlineQueue>();
}

Sleeper realSleeper()
{
    return [](double seconds) {
        if (seconds > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    };
}

}  // namespace kx
