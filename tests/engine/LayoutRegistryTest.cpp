#include "engine/LayoutRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kx {
namespace {

// A desktop whose enabled layouts and current layout the test sets.
class FakeInputSources final : public platform::InputSources {
public:
    std::vector<platform::InputSource> list;
    std::optional<platform::InputSource> selected;

    std::vector<platform::InputSource> enabled() const override { return list; }
    std::optional<platform::InputSource> current() const override { return selected; }
    void select(const platform::InputSource& source) override { selected = source; }
    std::unique_ptr<Subscription> subscribe(std::function<void()>) override { return nullptr; }
};

std::vector<std::string> idsOf(const std::vector<KeyboardLayoutInfo>& layouts)
{
    std::vector<std::string> ids;
    for (const auto& layout : layouts)
        ids.push_back(layout.id);
    return ids;
}

class LayoutRegistryTest : public ::testing::Test {
protected:
    FakeInputSources sources;
    LayoutRegistry registry{sources};
};

// Refresh lists the layouts in the desktop's order with their names, languages, keys and handles.
TEST_F(LayoutRegistryTest, RefreshBuildsEachLayout)
{
    sources.list = {{"us", "dvorak", 0}, {"il", "", 1}, {"ru", "", 2}};
    EXPECT_TRUE(registry.layouts.empty());
    registry.refresh();
    ASSERT_EQ(idsOf(registry.layouts), (std::vector<std::string>{"xkb:us(dvorak)", "xkb:il", "xkb:ru"}));
    const KeyboardLayoutInfo& hebrew = registry.layouts[1];
    EXPECT_EQ(hebrew.localizedName, "Hebrew");
    EXPECT_EQ(hebrew.language(), "he");
    EXPECT_EQ(hebrew.layoutData.text(0, 0), "ש");
    EXPECT_EQ(hebrew.source, sources.list[1]);
    EXPECT_EQ(registry.layouts[0].localizedName, "English (Dvorak)");
}

// Layouts whose keys cannot be compiled are left out; a layout in two places is kept at the first;
// one the xkb-data registry does not list is named by its id.
TEST_F(LayoutRegistryTest, RefreshFiltersAndDeduplicates)
{
    sources.list = {{"zz", "", 0}, {"il", "", 1}, {"", "", 2}, {"latin", "", 3}, {"il", "", 4}, {"us", "nope", 5}};
    registry.refresh();
    EXPECT_EQ(idsOf(registry.layouts), (std::vector<std::string>{"xkb:il", "xkb:latin"}));
    EXPECT_EQ(registry.layouts[0].source.handle, 1);
    EXPECT_EQ(registry.layouts[1].localizedName, "xkb:latin");
    EXPECT_EQ(registry.layouts[1].language(), "");

    // A refresh replaces the list wholesale, down to nothing.
    sources.list.clear();
    registry.refresh();
    EXPECT_TRUE(registry.layouts.empty());
}

// The current layout is the registry's own entry when listed, otherwise built without being added.
TEST_F(LayoutRegistryTest, CurrentLayout)
{
    EXPECT_FALSE(registry.currentLayout());

    sources.list = {{"us", "", 0}, {"il", "", 1}};
    registry.refresh();
    sources.selected = platform::InputSource{"il", "", 9};  // as the desktop reports it now
    const auto listed = registry.currentLayout();
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->source.handle, 1);

    sources.selected = platform::InputSource{"ru", "", 2};
    const auto fresh = registry.currentLayout();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->id, "xkb:ru");
    EXPECT_EQ(fresh->localizedName, "Russian");
    EXPECT_EQ(registry.layouts.size(), 2u);

    sources.selected = platform::InputSource{"latin", "", 3};
    EXPECT_EQ(registry.currentLayout()->localizedName, "?");

    sources.selected = platform::InputSource{"zz", "", 4};
    EXPECT_FALSE(registry.currentLayout());
}

}  // namespace
}  // namespace kx
