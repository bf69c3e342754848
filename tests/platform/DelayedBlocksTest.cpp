#include "platform/DelayedBlocks.h"
#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kx {
namespace {

// Blocks of one owner run at their own times, each let go once begun; those still waiting when
// the set goes never run, and blocks may come from another thread.
TEST(DelayedBlocksTest, RunInTurnAndDieWithTheSet)
{
    VirtualMainQueue queue;
    std::vector<std::string> ran;
    auto blocks = std::make_unique<DelayedBlocks>(queue);
    blocks->after(0.2, [&] { ran.push_back("late"); });
    std::thread([&] { blocks->after(0.1, [&] { ran.push_back("worker's"); }); }).join();
    blocks->after(1.0, [&] { ran.push_back("never"); });
    EXPECT_EQ(blocks->pending(), 3u);

    queue.advance(0.5);
    EXPECT_EQ(ran, (std::vector<std::string>{"worker's", "late"}));
    EXPECT_EQ(blocks->pending(), 1u);

    blocks.reset();
    queue.advance(1.0);
    EXPECT_EQ(ran.size(), 2u);
    EXPECT_EQ(queue.pending(), 0u);
}

// A block may drop the owner of its set.
TEST(DelayedBlocksTest, BlockMayDropItsSet)
{
    VirtualMainQueue queue;
    auto blocks = std::make_unique<DelayedBlocks>(queue);
    bool ran = false;
    blocks->after(0.1, [&] {
        blocks.reset();
        ran = true;
    });
    queue.advance(1.0);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(blocks);
}

}  // namespace
}  // namespace kx
