// The hold: keys kept in typing order, a barrier before the replay, and a watchdog that never
// lets keys go while a rewrite is still being typed.

#include "controller/KeyHold.h"
#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

// A desktop whose keys reach the tap late: the barrier waits until the test lets it pass.
class SlowTap final : public platform::EventTap {
public:
    bool install(platform::TapHandler) override { return true; }
    void enable() override {}
    void setHolding(bool on) override { calls.push_back(on ? "hold" : "let go"); }
    void afterPendingKeys(std::function<void()> then) override
    {
        calls.push_back("barrier");
        barriers.push_back(std::move(then));
    }
    void passBarrier()
    {
        auto then = std::move(barriers.front());
        barriers.erase(barriers.begin());
        then();
    }

    std::vector<std::string> calls;
    std::vector<std::function<void()>> barriers;
};

class KeyHoldTest : public ::testing::Test {
protected:
    KeyHoldTest() { hold.attach(&tap); }

    /// Replays by recording, the way the controller types keys again.
    KeyHold::Replay recordingReplay()
    {
        return [this](std::vector<HeldKey> keys) {
            for (const auto& key : keys)
                replayed.push_back(key.stroke.code);
            tap.calls.push_back("replay " + std::to_string(keys.size()));
            return std::vector<HeldKey>{};
        };
    }

    VirtualMainQueue queue;
    SlowTap tap;
    int expired = 0;
    KeyHold hold{queue, [this] { ++expired; }};
    std::vector<std::uint16_t> replayed;
};

// Keys that arrive while the barrier is on its way are kept and replayed after the earlier ones;
// only then, and after a second barrier for the keys taken while they were typed again, is the
// keyboard let go.
TEST_F(KeyHoldTest, ReleaseWaitsForTheBarrierThenReplaysBeforeLettingGo)
{
    hold.begin();
    ASSERT_TRUE(hold.take({{1, 0}}));
    hold.release(recordingReplay(), [this] { tap.calls.push_back("released"); });
    EXPECT_TRUE(replayed.empty());
    ASSERT_TRUE(hold.take({{2, 0}}));
    ASSERT_TRUE(hold.take({{3, 0}}));
    tap.passBarrier();
    EXPECT_EQ(replayed, (std::vector<std::uint16_t>{1, 2, 3}));
    EXPECT_EQ(tap.calls, (std::vector<std::string>{"hold", "barrier", "replay 3", "barrier"}));
    tap.passBarrier();
    EXPECT_EQ(tap.calls, (std::vector<std::string>{"hold", "barrier", "replay 3", "barrier", "let go", "released"}));
    EXPECT_TRUE(hold.keys().empty());
}

// A key handed on while the keyboard is about to be let go may have others behind it: one more
// barrier comes before the keyboard is let go.
TEST_F(KeyHoldTest, KeyHandedOnBeforeLettingGoAsksForAnotherBarrier)
{
    hold.begin();
    hold.take({{1, 0}});
    hold.release(recordingReplay(), [this] { tap.calls.push_back("released"); });
    tap.passBarrier();
    hold.passed();
    tap.passBarrier();
    EXPECT_EQ(tap.calls, (std::vector<std::string>{"hold", "barrier", "replay 1", "barrier", "barrier"}));
    tap.passBarrier();
    EXPECT_EQ(tap.calls,
              (std::vector<std::string>{"hold", "barrier", "replay 1", "barrier", "barrier", "let go", "released"}));
}

// A kept-back key that reaches the tap after the keyboard was let go holds it again, so the keys
// typed after it wait behind it, until a barrier shows nothing more on its way; one that comes
// while the keyboard is held changes nothing.
TEST_F(KeyHoldTest, KeyKeptBackAfterLettingGoHoldsTheKeyboardAgain)
{
    hold.begin();
    hold.release(recordingReplay(), [] {});
    tap.passBarrier();
    hold.passed();
    hold.keptBack();
    tap.passBarrier();
    tap.passBarrier();
    ASSERT_EQ(tap.calls, (std::vector<std::string>{"hold", "barrier", "replay 0", "barrier", "barrier", "let go"}));

    tap.calls.clear();
    hold.passed();
    hold.keptBack();
    EXPECT_EQ(tap.calls, (std::vector<std::string>{"hold", "barrier"}));
    hold.passed();
    hold.keptBack();
    tap.passBarrier();
    tap.passBarrier();
    EXPECT_EQ(tap.calls, (std::vector<std::string>{"hold", "barrier", "barrier", "let go"}));
}

// A second release while the first waits for its barrier does not replay twice.
TEST_F(KeyHoldTest, SecondReleaseDuringTheBarrierIsIgnored)
{
    hold.begin();
    hold.take({{1, 0}});
    hold.release(recordingReplay(), [] {});
    hold.release(recordingReplay(), [] {});
    EXPECT_EQ(tap.barriers.size(), 1u);
    tap.passBarrier();
    EXPECT_EQ(replayed, std::vector<std::uint16_t>{1});
}

// A replayed key that starts another rewrite keeps the keyboard held, with the keys after it.
TEST_F(KeyHoldTest, ReplayThatBeginsAnotherRewriteKeepsHolding)
{
    hold.begin();
    hold.take({{1, 0}});
    hold.take({{2, 0}});
    hold.release(
        [this](std::vector<HeldKey> keys) {
            hold.begin();
            return std::vector<HeldKey>(keys.begin() + 1, keys.end());
        },
        [this] { tap.calls.push_back("released"); });
    tap.passBarrier();
    EXPECT_EQ(tap.calls, (std::vector<std::string>{"hold", "barrier", "hold"}));
    ASSERT_EQ(hold.keys().size(), 1u);
    EXPECT_EQ(hold.keys().front().stroke.code, 2);
}

// The watchdog waits while a rewrite is queued or being typed, and gives up 2 s after that.
TEST_F(KeyHoldTest, WatchdogNeverFiresWhileARewriteIsBeingTyped)
{
    hold.begin();
    hold.rewriteQueued();
    hold.take({{1, 0}});
    queue.advance(KeyHold::watchdogDelay * 3);
    EXPECT_EQ(expired, 0);
    hold.rewriteTyped();
    queue.advance(KeyHold::watchdogDelay);
    EXPECT_EQ(expired, 1);
}

// The hold keeps at most its limit of keys.
TEST_F(KeyHoldTest, IsBounded)
{
    for (std::size_t i = 0; i < KeyHold::limit; ++i)
        ASSERT_TRUE(hold.take({{static_cast<std::uint16_t>(i), 0}}));
    EXPECT_FALSE(hold.take({{99, 0}}));
}

}  // namespace
}  // namespace kx::test
