#include "platform/x11/SpareKeycodes.h"

#include <gtest/gtest.h>

// After GoogleTest: X.h defines None.
#include <X11/keysym.h>

#include <vector>

namespace kx::platform::x11 {
namespace {

// A keycode a run of ours left a character on is known by the shape lending gives its mapping;
// a real key of a layout, or an empty one, is not taken for it.
TEST(SpareKeycodes, LentMappingIsKnownByItsShape)
{
    struct Row {
        std::vector<std::uint32_t> keysyms;
        bool lent;
    };
    const Row rows[] = {
        {{0x1002713, 0x1002713, 0, 0, 0, 0, 0}, true},
        {{XK_hebrew_shin, XK_hebrew_shin}, true},
        {{0x1002713, 0x1002713, 0x1002713, 0x1002713, 0}, true},
        {{XK_a, XK_A, XK_hebrew_shin, XK_hebrew_shin}, false},
        {{XK_space, 0, XK_space, 0}, false},
        {{0x1002713, 0x1002713, XK_a}, false},
        {{XK_a, 0, XK_a}, false},
        {{0, 0, 0}, false},
        {{XK_a}, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isLentMapping(row.keysyms), row.lent) << ::testing::PrintToString(row.keysyms);
}

}  // namespace
}  // namespace kx::platform::x11
