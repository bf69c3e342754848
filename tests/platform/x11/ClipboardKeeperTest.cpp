#include "platform/x11/ClipboardKeeper.h"

#include <gtest/gtest.h>

namespace kx::platform::x11 {
namespace {

// The keeper gets exactly the bytes of every type, binary ones included, and nothing from a
// stream that was cut short.
TEST(ClipboardKeeperTest, ItemCrossesToTheKeeperWhole)
{
    const PasteboardItem item = {{"text/plain", "grüße"}, {"image/png", std::string("\x89PNG\0\0\x01", 7)}, {"x", ""}};
    const std::string bytes = ClipboardKeeper::encode(item);
    EXPECT_EQ(ClipboardKeeper::decode(bytes), item);
    EXPECT_EQ(ClipboardKeeper::decode(""), PasteboardItem());
    for (const std::size_t cut : {std::size_t{1}, std::size_t{8}, std::size_t{20}, bytes.size() - 1})
        EXPECT_EQ(ClipboardKeeper::decode(std::string_view(bytes).substr(0, cut)), std::nullopt) << cut;
}

}  // namespace
}  // namespace kx::platform::x11
