#include "platform/SocketInstanceLock.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <sys/wait.h>
#include <unistd.h>

namespace kx::platform {
namespace {

// Each test claims a name of its own, so test programs running side by side never meet.
std::string uniqueName(const char* test)
{
    return std::string("app.kestrelix.test.") + test + "." + std::to_string(::getpid());
}

// A second holder in this process is refused while the first lives, and gets the name after it.
TEST(SocketInstanceLock, NameIsFreedWhenItsHolderGoes)
{
    const auto name = uniqueName("inprocess");
    auto first = std::make_unique<SocketInstanceLock>();
    ASSERT_EQ(first->tryAcquire(name), LockResult::acquired);
    EXPECT_EQ(first->tryAcquire(name), LockResult::acquired) << "asking again keeps it";

    SocketInstanceLock second;
    EXPECT_EQ(second.tryAcquire(name), LockResult::heldElsewhere);
    first.reset();
    EXPECT_EQ(second.tryAcquire(name), LockResult::acquired);
}

// Another process holding the name keeps us out until it exits, even when it dies by a signal.
TEST(SocketInstanceLock, AnotherProcessHoldsItUntilItDies)
{
    const auto name = uniqueName("otherprocess");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SocketInstanceLock lock;
        const char answer = lock.tryAcquire(name) == LockResult::acquired ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        ::pause();  // until the parent kills it
        ::_exit(0);
    }
    ::close(ready[1]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(answer, 'y');

    SocketInstanceLock mine;
    EXPECT_EQ(mine.tryAcquire(name), LockResult::heldElsewhere);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(mine.tryAcquire(name), LockResult::acquired);
}

// Each X display has its own instance: another display's holder does not keep this one out, while
// any spelling of the same display does.
TEST(SocketInstanceLock, OneHolderPerDisplay)
{
    const auto name = uniqueName("displays");
    SocketInstanceLock first(":7");
    ASSERT_EQ(first.tryAcquire(name), LockResult::acquired);
    SocketInstanceLock otherDisplay(":8");
    EXPECT_EQ(otherDisplay.tryAcquire(name), LockResult::acquired);
    SocketInstanceLock remoteDisplay("remote:7");
    EXPECT_EQ(remoteDisplay.tryAcquire(name), LockResult::acquired);
    for (const char* sameDisplay : {":7", ":7.0", ":7.1", "unix:7"}) {
        SocketInstanceLock second(sameDisplay);
        EXPECT_EQ(second.tryAcquire(name), LockResult::heldElsewhere) << sameDisplay;
    }
}

// The server part of a display name: host and number, without the screen.
TEST(SocketInstanceLock, ServerOfDisplayName)
{
    const std::pair<const char*, const char*> rows[] = {
        {":0", ":0"},           {":0.1", ":0"},   {"unix:3", ":3"},     {"host:10.0", "host:10"},
        {"[::1]:2", "[::1]:2"}, {"", ""},         {"odd", "odd"},
    };
    for (const auto& [display, server] : rows)
        EXPECT_EQ(SocketInstanceLock::serverOf(display), server) << display;
}

// A name too long for a socket address is a failure, not a crash or a silently cut name.
TEST(SocketInstanceLock, OverlongNameFails)
{
    SocketInstanceLock lock;
    EXPECT_EQ(lock.tryAcquire(std::string(200, 'x')), LockResult::failed);
}

}  // namespace
}  // namespace kx::platform
