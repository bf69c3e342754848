#include "platform/x11/QtMainQueue.h"

#include "DesktopSession.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace kx::platform::x11 {
namespace {

using test::DesktopSession;

class QtMainQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
    }
};

// Blocks handed in from a worker run later, on the main thread, in the order given.
TEST_F(QtMainQueueTest, AsyncFromAnotherThreadRunsOnMainInOrder)
{
    QtMainQueue queue;
    std::vector<int> order;
    std::atomic<bool> allOnMain = true;
    const auto mainThread = QThread::currentThread();
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            queue.async([&, i] {
                allOnMain = allOnMain && QThread::currentThread() == mainThread;
                order.push_back(i);
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty()) << "nothing runs on the caller";
    ASSERT_TRUE(DesktopSession::waitFor([&] { return order.size() == 3; }, 5));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(allOnMain);
}

// A delayed block from a worker fires on the main thread, and not before its delay.
TEST_F(QtMainQueueTest, AfterFromAnotherThreadWaitsItsDelay)
{
    QtMainQueue queue;
    std::atomic<double> firedAt = -1;
    const double start = queue.now();
    std::thread([&] { queue.after(0.05, [&] { firedAt = queue.now(); }); }).join();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return firedAt >= 0; }, 5));
    EXPECT_GE(firedAt - start, 0.049);
}

// Dropping a timer's handle stops it; a repeating timer repeats until then.
TEST_F(QtMainQueueTest, TimerStopsWithItsHandle)
{
    QtMainQueue queue;
    int ticks = 0;
    auto handle = queue.timer(0.01, true, [&] { ++ticks; });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return ticks >= 3; }, 5));
    handle.reset();
    const int stoppedAt = ticks;
    int afterwards = 0;
    queue.after(0.05, [&] { afterwards = 1; });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return afterwards == 1; }, 5));
    EXPECT_EQ(ticks, stoppedAt);
}

// Blocks still queued when the queue goes are dropped, not run against a dead owner.
TEST_F(QtMainQueueTest, QueuedBlocksDieWithTheQueue)
{
    bool ran = false;
    {
        QtMainQueue queue;
        queue.async([&] { ran = true; });
        queue.after(0.01, [&] { ran = true; });
    }
    // A later block of another queue runs after the moment the dropped ones were due.
    QtMainQueue other;
    bool passed = false;
    other.after(0.02, [&] { passed = true; });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return passed; }, 5));
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace kx::platform::x11
