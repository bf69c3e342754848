#include "platform/VirtualKeys.h"

#include "platform/KeyTable.h"

#include <gtest/gtest.h>

namespace kx::platform {
namespace {

// Each virtual key sits where a Mac keyboard has it: on the us layout it types the Mac's character.
TEST(VirtualKeysTest, KeysTypeTheMacCharacterOnUs)
{
    // The Mac's ANSI layout, virtual key codes 0-50, with the keys that type no character left out.
    const char* const mac = "asdfhgzxcv_bqweryt123465=97-80]ou[ip_lj'k;\\,/nm._ `";
    const auto us = KeyTable::forLayout("us");
    ASSERT_FALSE(us.empty());
    for (std::uint16_t code = 0; mac[code] != '\0'; ++code) {
        if (mac[code] == '_')
            continue;
        EXPECT_EQ(us.text(code, 0), std::string(1, mac[code])) << "virtual key " << code;
    }
}

// Every virtual key with a Linux key comes back from that key, and no two share one.
TEST(VirtualKeysTest, MappingIsOneToOne)
{
    int mapped = 0;
    for (std::uint16_t code = 0; code < KeyTable::keyCount; ++code) {
        const auto evdev = VirtualKeys::evdevCode(code);
        if (!evdev)
            continue;
        ++mapped;
        EXPECT_EQ(VirtualKeys::virtualKeyCode(*evdev), code) << "virtual key " << code;
    }
    EXPECT_GE(mapped, 60);
    EXPECT_FALSE(VirtualKeys::virtualKeyCode(59));  // F1: no virtual code of ours
}

}  // namespace
}  // namespace kx::platform
