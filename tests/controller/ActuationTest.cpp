// A rewrite in progress: active from begin() until the replay starts, held keys typed again in
// the right layout around our own switch, the swap sound told only once the keys are let go, and
// a key taken back only while it can still come before the rewrite.

#include "controller/Actuation.h"
#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

class ActuationTest : public ::testing::Test {
protected:
    /// Releases, recording whether the actuation was still active during the replay and the
    /// layout each held key goes out in.
    void release()
    {
        actuation.release(
            [this](std::vector<HeldKey> held) {
                activeDuringReplay = actuation.active();
                for (std::size_t i = 0; i < held.size(); ++i)
                    handles.push_back(actuation.replayHandle(i, held[i]));
                return std::vector<HeldKey>{};
            },
            [this](bool due) { sounds.push_back(due); });
        queue.runUntilIdle();
    }

    VirtualMainQueue queue;
    Actuation actuation{queue, [] {}};
    bool activeDuringReplay = true;
    std::vector<int> handles;
    std::vector<bool> sounds;
};

// Keys held before our switch from 0 to 1, in layout 0, go out in 1; the others as typed.
TEST_F(ActuationTest, HeldKeysAroundOurOwnSwitch)
{
    struct Row {
        const char* what;
        bool placed;  // the desktop told where the switch fell, after the second key
        std::vector<int> handles;
    };
    const Row rows[] = {
        {"switch made after the first key", false, {1, 0, 1}},
        {"switch placed after the second", true, {1, 1, 1}},
    };
    for (const Row& row : rows) {
        handles.clear();
        actuation.begin();
        EXPECT_TRUE(actuation.active());
        actuation.holdKey({{1, 0}, 0});
        actuation.ownSwitch(0, 1);
        actuation.holdKey({{2, 0}, 0});
        if (row.placed)
            actuation.switchPlaced(1);
        actuation.holdKey({{3, 0}, 1});
        release();
        EXPECT_FALSE(activeDuringReplay) << row.what;
        EXPECT_EQ(handles, row.handles) << row.what;
    }
    actuation.begin();
    actuation.holdKey({{1, 0}, 0});
    release();
    EXPECT_EQ(handles.back(), 0) << "the switch is forgotten once the keys are let go";
}

// The swap sound is told once, at the end of the hold that it was due in.
TEST_F(ActuationTest, SwapSoundWaitsForTheRelease)
{
    actuation.begin();
    actuation.setSwapSoundDue(true);
    EXPECT_TRUE(sounds.empty());
    release();
    actuation.begin();
    release();
    EXPECT_EQ(sounds, (std::vector<bool>{true, false}));
}

// A key that already reached the application is taken back only while no rewrite is queued:
// its Backspaces would have to run before the rewrite's.
TEST_F(ActuationTest, KeyTakenBackOnlyWhileNoRewriteIsQueued)
{
    actuation.begin();
    EXPECT_TRUE(actuation.takeBack("a"));
    actuation.rewriteQueued();
    EXPECT_FALSE(actuation.takeBack("b"));
    actuation.rewriteTyped();
    EXPECT_TRUE(actuation.takeBack("c"));
    EXPECT_EQ(actuation.hold().takenBack(), "ac");
    release();
    EXPECT_EQ(actuation.hold().takenBack(), "");
}

}  // namespace
}  // namespace kx::test
