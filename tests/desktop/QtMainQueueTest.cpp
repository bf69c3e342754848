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

// A delayed block from a worker fires on the main thread, and not before its delay; one whose
// handle the worker dropped, or that dropped its own, runs no more.
TEST_F(QtMainQueueTest, AfterFromAnotherThreadWaitsItsDelay)
{
    QtMainQueue queue;
    std::atomic<double> firedAt = -1;
    std::atomic<int> dropped = 0;
    const double start = queue.now();
    std::unique_ptr<TimerHandle> kept;
    std::thread([&] {
        kept = queue.after(0.05, [&] { firedAt = queue.now(); });
        auto cancelled = queue.after(0.01, [&] { ++dropped; });
        auto atOnce = queue.after(0, [&] { ++dropped; });
    }).join();
    bool ranToItsEnd = false;
    std::unique_ptr<TimerHandle> self;
    self = queue.after(0.02, [&] {
        self.reset();
        ranToItsEnd = true;
    });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return firedAt >= 0; }, 5));
    EXPECT_GE(firedAt - start, 0.049);
    EXPECT_EQ(dropped, 0);
    EXPECT_TRUE(ranToItsEnd);
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
    const auto later = queue.after(0.05, [&] { afterwards = 1; });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return afterwards == 1; }, 5));
    EXPECT_EQ(ticks, stoppedAt);
}

// Blocks still queued when the queue goes are dropped, not run against a dead owner.
TEST_F(QtMainQueueTest, QueuedBlocksDieWithTheQueue)
{
    bool ran = false;
    std::unique_ptr<TimerHandle> outlivesQueue;
    {
        QtMainQueue queue;
        queue.async([&] { ran = true; });
        outlivesQueue = queue.after(0.01, [&] { ran = true; });
    }
    outlivesQueue.reset();
    // A later block of another queue runs after the moment the dropped ones were due.
    QtMainQueue other;
    bool passed = false;
    const auto later = other.after(0.02, [&] { passed = true; });
    ASSERT_TRUE(DesktopSession::waitFor([&] { return passed; }, 5));
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace kx::platform::x11
