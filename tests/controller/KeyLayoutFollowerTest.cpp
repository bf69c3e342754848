// Whose layout switch a notice is, and when the user's switch happened where the keys tell it
// before the desktop does.

#include "controller/KeyLayoutFollower.h"
#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

using Notice = KeyLayoutFollower::Notice;

class KeyLayoutFollowerTest : public ::testing::Test {
protected:
    VirtualMainQueue queue;
    KeyLayoutFollower follower{queue};
};

// Our own switch's notice is ours once, within 1.5 s; without keys that tell, a notice is the user's.
TEST_F(KeyLayoutFollowerTest, NoticesOfOurOwnSwitch)
{
    struct Row {
        const char* what;
        double noticeAfter;
        std::vector<Notice> notices;
    };
    const Row rows[] = {
        {"at once, then the user's", 0, {Notice::ownSwitch, Notice::userSwitch}},
        {"just inside the window", 1.49, {Notice::ownSwitch}},
        {"after the window", 1.5, {Notice::userSwitch}},
    };
    for (const Row& row : rows) {
        follower.ownSwitchMade();
        queue.advance(row.noticeAfter);
        for (const Notice expected : row.notices)
            EXPECT_EQ(follower.layoutChanged(1, queue.now()), expected) << row.what;
    }
    follower.ownSwitchMade();
    queue.advance(1.0);
    follower.ownSwitchMade();
    queue.advance(1.0);
    EXPECT_EQ(follower.layoutChanged(1, queue.now()), Notice::ownSwitch) << "the newer switch keeps its window";
}

// Where keys tell their layout, the user's switch is dated by the notice when it came first,
// else by the first key typed in the new layout.
TEST_F(KeyLayoutFollowerTest, KeysTellTheUsersSwitch)
{
    EXPECT_FALSE(follower.followKey(-1, 1.0)) << "a key that tells nothing";
    EXPECT_FALSE(follower.followKey(0, 1.0)) << "the first key that tells";
    EXPECT_EQ(follower.keyLayoutHandle(), 0);
    EXPECT_FALSE(follower.followKey(0, 2.0)) << "same layout";
    EXPECT_EQ(follower.followKey(1, 3.0), 3.0) << "switched, no notice";

    EXPECT_EQ(follower.layoutChanged(0, 4.0), Notice::awaitingKey);
    EXPECT_EQ(follower.followKey(0, 4.5), 4.0) << "the notice came first";
    EXPECT_EQ(follower.layoutChanged(0, 5.0), Notice::awaitingKey) << "a notice of the layout keys already show";
    EXPECT_EQ(follower.followKey(1, 6.0), 6.0);

    follower.layoutSelected(0);
    EXPECT_FALSE(follower.followKey(0, 7.0)) << "placed among the keys: no switch of the user's";
}

// The layout selected before the current one follows every notice that names another layout, ours
// and the user's alike.
TEST_F(KeyLayoutFollowerTest, RemembersTheLayoutSelectedBefore)
{
    EXPECT_EQ(follower.selectedBeforeHandle(), -1);
    follower.layoutChanged(0, 1.0);
    EXPECT_EQ(follower.selectedBeforeHandle(), -1) << "only one layout told of";
    follower.ownSwitchMade();
    follower.layoutChanged(2, 2.0);
    EXPECT_EQ(follower.selectedBeforeHandle(), 0) << "our own switch";
    follower.layoutChanged(2, 3.0);
    follower.layoutChanged(-1, 3.5);
    EXPECT_EQ(follower.selectedBeforeHandle(), 0) << "a notice of the same layout, or of none";
    follower.layoutChanged(0, 4.0);
    EXPECT_EQ(follower.selectedBeforeHandle(), 2) << "the user went back";
}

}  // namespace
}  // namespace kx::test
