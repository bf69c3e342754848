#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace kx {
namespace {

class VirtualMainQueueTest : public ::testing::Test {
protected:
    Block note(std::string name)
    {
        return [this, name] { ran.push_back(name + "@" + std::to_string(std::lround(queue.now() * 1000))); };
    }

    VirtualMainQueue queue;
    std::vector<std::string> ran;
};

// Blocks run by due time, ties in the order they were scheduled, and none runs early.
TEST_F(VirtualMainQueueTest, runsBlocksInDueOrderWithTiesInSchedulingOrder)
{
    const auto late = queue.after(0.2, note("late"));
    const auto first = queue.after(0.1, note("first"));
    queue.async(note("now"));
    const auto second = queue.after(0.1, note("second"));
    queue.advance(0.099);
    EXPECT_EQ(ran, (std::vector<std::string>{"now@0"}));
    queue.advance(0.001);
    EXPECT_EQ(ran, (std::vector<std::string>{"now@0", "first@100", "second@100"}));
    queue.advance(1);
    EXPECT_EQ(ran.back(), "late@200");
    EXPECT_DOUBLE_EQ(queue.now(), 1.1);
}

// Many small steps reach a due time exactly; floating-point drift must not skip or delay a block.
TEST_F(VirtualMainQueueTest, smallStepsReachDueTimesExactly)
{
    const auto due = queue.after(0.3, note("due"));
    queue.advance(0.1);
    queue.advance(0.1);
    queue.advance(0.1);
    EXPECT_EQ(ran, (std::vector<std::string>{"due@300"}));
}

// A block may schedule more work; what falls inside the advanced span runs at its own time.
TEST_F(VirtualMainQueueTest, honoursBlocksScheduledWhileRunning)
{
    std::vector<std::unique_ptr<TimerHandle>> inner;
    const auto outer = queue.after(0.1, [&] {
        ran.push_back("outer");
        queue.async(note("async"));
        inner.push_back(queue.after(0.05, note("after")));
        inner.push_back(queue.after(0.5, note("beyond")));
    });
    queue.advance(0.2);
    EXPECT_EQ(ran, (std::vector<std::string>{"outer", "async@100", "after@150"}));
    EXPECT_EQ(queue.pending(), 1u);
}

// runUntilIdle drains what is due now, chains included, and leaves the clock and later blocks alone.
TEST_F(VirtualMainQueueTest, runUntilIdleRunsOnlyWhatIsDueNow)
{
    queue.async([this] { queue.async(note("chained")); });
    const auto later = queue.after(0.01, note("later"));
    queue.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"chained@0"}));
    EXPECT_EQ(queue.now(), 0.0);
    EXPECT_EQ(queue.pending(), 1u);
}

// A repeating timer fires each interval until its handle is dropped, even from its own block.
TEST_F(VirtualMainQueueTest, timersRepeatUntilTheirHandleIsDropped)
{
    auto repeating = queue.timer(0.5, true, note("tick"));
    queue.advance(1.6);
    EXPECT_EQ(ran, (std::vector<std::string>{"tick@500", "tick@1000", "tick@1500"}));
    repeating.reset();
    EXPECT_EQ(queue.pending(), 0u);

    int fired = 0;
    std::unique_ptr<TimerHandle> selfStopping;
    selfStopping = queue.timer(1, true, [&] {
        if (++fired == 2)
            selfStopping.reset();
    });
    queue.advance(10);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(queue.pending(), 0u);

    auto cancelled = queue.timer(1, false, note("never"));
    cancelled.reset();
    auto once = queue.timer(1, false, note("once"));
    queue.advance(5);
    EXPECT_EQ(ran.back(), "once@12600");
    EXPECT_EQ(ran.size(), 4u);
}

// A delayed block runs only while its handle is held: dropped before its time, from another thread
// or from inside the block itself, it is gone.
TEST_F(VirtualMainQueueTest, delayedBlocksRunOnlyWhileTheirHandleIsHeld)
{
    auto dropped = queue.after(0.1, note("dropped"));
    dropped.reset();
    std::unique_ptr<TimerHandle> fromWorker;
    std::thread([&] { fromWorker = queue.after(0.1, note("worker's")); }).join();
    std::unique_ptr<TimerHandle> droppedByOther;
    std::thread([&] { droppedByOther = queue.after(0.1, note("never")); }).join();
    std::thread([&] { droppedByOther.reset(); }).join();
    std::unique_ptr<TimerHandle> self;
    self = queue.after(0.2, [&] {
        self.reset();
        ran.push_back("self");
    });
    queue.advance(1);
    EXPECT_EQ(ran, (std::vector<std::string>{"worker's@100", "self"}));
    EXPECT_EQ(queue.pending(), 0u);
}

// A handle that outlives its queue is dropped quietly.
TEST(VirtualMainQueueLifetimeTest, handleMayOutliveQueue)
{
    std::unique_ptr<TimerHandle> handle;
    {
        VirtualMainQueue queue;
        handle = queue.timer(1, true, [] {});
    }
    handle.reset();
}

// Work handed over from another thread waits for the test to advance the clock.
TEST_F(VirtualMainQueueTest, asyncFromAnotherThreadRunsAtNextAdvance)
{
    std::thread worker([this] { queue.async(note("from worker")); });
    worker.join();
    EXPECT_TRUE(ran.empty());
    queue.advance(0);
    EXPECT_EQ(ran, (std::vector<std::string>{"from worker@0"}));
}

}  // namespace
}  // namespace kx
