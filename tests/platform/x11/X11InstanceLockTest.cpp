#include "platform/x11/X11InstanceLock.h"

#include <gtest/gtest.h>

#include <utility>

namespace kx::platform::x11 {
namespace {

// The user's lock file is per X server: every spelling of one display names one server.
TEST(X11InstanceLock, ServerOfDisplayName)
{
    const std::pair<const char*, const char*> rows[] = {
        {":0", ":0"},
        {":0.1", ":0"},
        {"unix:3", ":3"},
        {"unix/:3", ":3"},
        {"unix/:3.1", ":3"},
        {"host:10.0", "host:10"},
        {"tcp/host:10", "host:10"},
        {"[::1]:2", "[::1]:2"},
        {"", ""},
        {"odd", "odd"},
    };
    for (const auto& [display, server] : rows)
        EXPECT_EQ(X11InstanceLock::serverOf(display), server) << display;
}

}  // namespace
}  // namespace kx::platform::x11
