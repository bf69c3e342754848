// The walkthrough's scripts, navigation and permission poll on a virtual clock.

#include "onboarding/WalkthroughModel.h"
#include "platform/VirtualMainQueue.h"
#include "platform/sim/SimPermissions.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

using Words = std::vector<std::string>;

class WalkthroughModelTest : public ::testing::Test {
protected:
    WalkthroughModelTest()
    {
        permissions.accessibility = false;
        permissions.inputMonitoring = false;
        model.onFinish = [this] { finishes += 1; };
        model.restart();
    }

    /// Runs ops up to and including op number k of the script that started at scriptStart.
    void toOp(int k) { queue.advance(scriptStart + k * WalkthroughModel::tick + 0.01 - queue.now()); }
    void play(WalkStep step)
    {
        model.go(step);
        scriptStart = queue.now();
    }

    const WalkthroughModel::State& state() const { return model.state(); }

    VirtualMainQueue queue;
    sim::SimPermissions permissions;
    WalkthroughModel model{queue, permissions};
    double scriptStart = 0;
    int finishes = 0;
};

// The automatic script converts two wrong-layout words, types on in English, then starts over.
TEST_F(WalkthroughModelTest, AutomaticScriptConvertsAndLoops)
{
    EXPECT_EQ(state().step, WalkStep::automatic);
    EXPECT_TRUE(state().rightToLeft);
    EXPECT_EQ(state().language, "עב");
    toOp(5);
    EXPECT_EQ(model.lineWords(), Words{"׳שמא"});
    toOp(7);
    EXPECT_EQ(model.lineWords(), (Words{"׳שמא", "אם"}));
    toOp(8);
    EXPECT_EQ(model.lineWords(), (Words{"want", "to"}));
    EXPECT_FALSE(state().rightToLeft);
    EXPECT_EQ(state().language, "EN");
    EXPECT_TRUE(state().languageLifted);
    queue.advance(WalkthroughModel::liftDuration);
    EXPECT_FALSE(state().languageLifted);
    toOp(15);
    EXPECT_EQ(model.lineWords(), (Words{"want", "to", "go", "home"}));
    EXPECT_TRUE(state().showCaret);

    // The timer stops at the firing after the last op; the scene restarts 2.2 s later.
    toOp(16);
    queue.advance(2.17);
    EXPECT_EQ(model.lineWords(), (Words{"want", "to", "go", "home"}));
    queue.advance(0.03);
    EXPECT_TRUE(model.lineWords().empty());
    EXPECT_TRUE(state().rightToLeft);
    queue.advance(WalkthroughModel::tick);
    EXPECT_EQ(model.lineWords(), Words{"׳"});
}

// The ask, manual and secure scripts show the capsule, the lit keys and the dots at their ops.
TEST_F(WalkthroughModelTest, AskManualAndSecureScripts)
{
    play(WalkStep::ask);
    EXPECT_EQ(state().language, "EN");
    toOp(8);
    EXPECT_EQ(model.lineWords(), Words{"kkf,"});
    EXPECT_FALSE(state().showCapsule);
    toOp(9);
    EXPECT_TRUE(state().showCapsule);
    toOp(20);
    EXPECT_FALSE(state().capsulePressed);
    toOp(21);
    EXPECT_TRUE(state().capsulePressed);
    toOp(22);
    EXPECT_FALSE(state().showCapsule);
    EXPECT_FALSE(state().capsulePressed);
    EXPECT_TRUE(state().rightToLeft);
    EXPECT_EQ(model.lineWords(), Words{"ללכת"});
    EXPECT_EQ(state().language, "עב");

    play(WalkStep::manual);
    EXPECT_FALSE(state().showCaret);
    EXPECT_EQ(model.lineWords(), Words{"vch,v"});
    toOp(7);
    EXPECT_FALSE(state().selected);
    toOp(8);
    EXPECT_TRUE(state().selected);
    toOp(15);
    EXPECT_TRUE(state().keysLit);
    toOp(19);
    EXPECT_FALSE(state().keysLit);
    EXPECT_FALSE(state().selected);
    EXPECT_EQ(model.lineWords(), Words{"הביתה"});
    EXPECT_FALSE(state().showCaret);

    play(WalkStep::secure);
    EXPECT_EQ(state().language, "\u2014");
    EXPECT_TRUE(model.wireCut());
    for (int dots = 1; dots <= 9; ++dots) {
        toOp(dots);
        EXPECT_EQ(state().passwordDots, dots);
    }
    toOp(10);
    queue.advance(1.51);
    EXPECT_EQ(state().passwordDots, 0);
}

// Jumping to another step mid-script leaves no trace of the old one, even from its pending restart.
TEST_F(WalkthroughModelTest, AnotherStepSupersedesTheScript)
{
    toOp(3);
    play(WalkStep::ask);
    EXPECT_TRUE(model.lineWords().empty());
    EXPECT_FALSE(state().rightToLeft);
    toOp(2);
    EXPECT_EQ(model.lineWords(), Words{"kk"});

    // The secure script finishes and schedules a restart; moving on makes the restart inert.
    play(WalkStep::secure);
    toOp(10);
    play(WalkStep::permissions);
    queue.advance(5);
    EXPECT_EQ(state().step, WalkStep::permissions);
    EXPECT_EQ(state().passwordDots, 0);
    EXPECT_FALSE(state().showCaret);
}

// The last step ends at once without both permissions, else plays the send-off, which nothing moves.
TEST_F(WalkthroughModelTest, LastStepEndsOrSendsOff)
{
    for (int i = 0; i < 4; ++i)
        model.next();
    EXPECT_EQ(state().step, WalkStep::permissions);
    EXPECT_TRUE(model.wireCut());
    model.next();
    EXPECT_EQ(finishes, 1);
    EXPECT_FALSE(state().finished);

    permissions.accessibility = true;
    permissions.inputMonitoring = true;
    queue.advance(WalkthroughModel::pollInterval);
    EXPECT_TRUE(state().accessibility && state().inputMonitoring);
    EXPECT_FALSE(model.wireCut());
    model.next();
    scriptStart = queue.now();
    EXPECT_TRUE(state().finished);
    EXPECT_TRUE(state().rightToLeft);
    toOp(7);
    EXPECT_EQ(model.lineWords(), (Words{"טםורק", "ש"}));
    model.go(WalkStep::ask);
    EXPECT_EQ(state().step, WalkStep::permissions);
    toOp(14);
    EXPECT_EQ(model.lineWords(), Words{"You're all set!"});
    EXPECT_FALSE(state().rightToLeft);
    EXPECT_FALSE(state().showCaret);
    queue.advance(10);
    EXPECT_EQ(model.lineWords(), Words{"You're all set!"});
    EXPECT_EQ(finishes, 1);
    model.next();
    EXPECT_EQ(finishes, 2);

    // A new showing starts over.
    model.restart();
    EXPECT_FALSE(state().finished);
    EXPECT_EQ(state().step, WalkStep::automatic);
}

// The permission flags follow the desktop every 0.8 s until the walkthrough stops.
TEST_F(WalkthroughModelTest, PermissionsArePolledUntilStopped)
{
    permissions.accessibility = true;
    queue.advance(0.79);
    EXPECT_FALSE(state().accessibility);
    queue.advance(0.02);
    EXPECT_TRUE(state().accessibility);

    model.stop();
    permissions.inputMonitoring = true;
    const auto words = model.lineWords();
    queue.advance(5);
    EXPECT_FALSE(state().inputMonitoring);
    EXPECT_EQ(model.lineWords(), words);
    EXPECT_EQ(queue.pending(), 0u);
}

// Stopping between two rounds of a looping script keeps the next round from starting.
TEST_F(WalkthroughModelTest, StopInTheLoopPauseEndsTheScript)
{
    play(WalkStep::secure);
    toOp(10);
    EXPECT_EQ(state().passwordDots, 9);
    model.stop();
    queue.advance(5);
    EXPECT_EQ(state().passwordDots, 9);
    EXPECT_EQ(queue.pending(), 0u);

    // The next showing plays again.
    model.restart();
    scriptStart = queue.now();
    toOp(2);
    EXPECT_EQ(model.lineWords(), Words{"׳ש"});
}

}  // namespace
}  // namespace kx::test
