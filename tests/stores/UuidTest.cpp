#include "stores/Uuid.h"

#include <gtest/gtest.h>

#include <set>

namespace kx {
namespace {

// New identities are random version-4 UUIDs, written upper-case and read back in either case.
TEST(UuidTest, RandomVersionFourRoundTrips)
{
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const Uuid uuid = Uuid::make();
        const std::string text = uuid.text();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[14], '4') << text;
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
        EXPECT_EQ(Uuid::parse(text), uuid);
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_EQ(Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")->text(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(Uuid::parse("E621E1F8C36C-495A-93FC-0C247A3E6E5F0"), std::nullopt);
    EXPECT_EQ(Uuid::parse("G621E1F8-C36C-495A-93FC-0C247A3E6E5F"), std::nullopt);
}

}  // namespace
}  // namespace kx
