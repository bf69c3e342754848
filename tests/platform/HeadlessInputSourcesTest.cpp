#include "platform/HeadlessInputSources.h"

#include <gtest/gtest.h>

namespace kx::platform {
namespace {

// Layouts pair with variants by position, the first is current; no layouts mean xkbcommon's "us".
TEST(HeadlessInputSourcesTest, ReadsLayoutsAndVariantsByPosition)
{
    HeadlessInputSources sources("us,il,ru", "dvorak,,phonetic");
    const std::vector<InputSource> expected{{"us", "dvorak", 0}, {"il", "", 1}, {"ru", "phonetic", 2}};
    EXPECT_EQ(sources.enabled(), expected);
    EXPECT_EQ(sources.current(), expected[0]);
    EXPECT_EQ(HeadlessInputSources("us,il", "").enabled()[1], (InputSource{"il", "", 1}));
    EXPECT_EQ(HeadlessInputSources("", "").enabled(), (std::vector<InputSource>{{"us", "", 0}}));
}

// A change of layout tells each live subscriber once; no change, or an unknown handle, is silent,
// and a subscriber may drop its subscription while being told.
TEST(HeadlessInputSourcesTest, SelectNotifiesSubscribersOfChanges)
{
    HeadlessInputSources sources("us,il", "");
    int kept = 0, selfDropped = 0;
    auto keep = sources.subscribe([&] { ++kept; });
    std::unique_ptr<InputSources::Subscription> self;
    self = sources.subscribe([&] {
        ++selfDropped;
        self.reset();
    });

    sources.select(sources.enabled()[1]);
    EXPECT_EQ(sources.current()->layout, "il");
    sources.select(sources.enabled()[0]);
    sources.select(sources.enabled()[0]);
    sources.select({"ru", "", 7});
    EXPECT_EQ(sources.current()->layout, "us");
    EXPECT_EQ(kept, 2);
    EXPECT_EQ(selfDropped, 1);
}

}  // namespace
}  // namespace kx::platform
