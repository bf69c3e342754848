#include "platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kx {
namespace {

// The threaded queue runs blocks in order on its own named thread.
TEST(SerialQueueTest, threadedRunsInOrderOnItsNamedThread)
{
    auto queue = SerialQueue::threaded("Kestrelix.actuation");
    std::vector<int> order;
    std::thread::id worker;
    char name[16] = {};
    for (int i = 0; i < 100; ++i)
        queue->async([&, i] { order.push_back(i); });
    queue->async([&] {
        worker = std::this_thread::get_id();
        pthread_getname_np(pthread_self(), name, sizeof name);
    });
    queue->waitUntilIdle();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_STREQ(name, "Kestrelix.actua");  // the kernel keeps 15 bytes
}

// Destroying a threaded queue first runs everything still queued.
TEST(SerialQueueTest, destructionDrainsTheQueue)
{
    std::mutex mutex;
    std::vector<int> ran;
    {
        auto queue = SerialQueue::threaded("drain");
        queue->async([] { std::this_thread::yield(); });
        for (int i = 0; i < 50; ++i)
            queue->async([&, i] {
                std::lock_guard lock(mutex);
                ran.push_back(i);
            });
    }
    EXPECT_EQ(ran.size(), 50u);
}

// A block that waits for its own queue returns instead of hanging.
TEST(SerialQueueTest, waitingFromInsideTheQueueDoesNotHang)
{
    auto queue = SerialQueue::threaded("self");
    bool returned = false;
    queue->async([&] {
        queue->waitUntilIdle();
        returned = true;
    });
    queue->waitUntilIdle();
    EXPECT_TRUE(returned);
}

// The inline queue runs at once, and a block queued by a block runs after it, not inside it.
TEST(SerialQueueTest, inlineRunsAtOnceAndKeepsSerialOrder)
{
    auto queue = SerialQueue::inlineQueue();
    std::vector<std::string> ran;
    queue->async([&] {
        queue->async([&] { ran.push_back("inner"); });
        ran.push_back("outer");
    });
    EXPECT_EQ(ran, (std::vector<std::string>{"outer", "inner"}));
}

}  // namespace
}  // namespace kx
