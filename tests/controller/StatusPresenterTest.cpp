// The status presenter on its own: when it asks the desktop, when it draws, and what its polls do
// before and after the corrector starts.

#include "controller/StatusPresenter.h"
#include "ControllerHarness.h"

namespace kx::test {
namespace {

/// The desktop's permissions, counting how often each is asked: over D-Bus every answer is a
/// blocking call.
class CountingPermissions final : public platform::Permissions {
public:
    explicit CountingPermissions(platform::Permissions& inner) : m_inner(inner) {}
    bool isGranted(platform::Permission permission) override
    {
        asks += 1;
        return m_inner.isGranted(permission);
    }
    bool request(platform::Permission permission) override { return m_inner.request(permission); }
    std::vector<std::string> missingParts(platform::Permission permission) override
    {
        return m_inner.missingParts(permission);
    }

    int asks = 0;

private:
    platform::Permissions& m_inner;
};

/// A status item whose menu is open or closed as the test says.
class MenuStatusItem final : public StatusItemView {
public:
    void showGlyph(const StatusGlyph& shown) override { glyph = shown; }
    void showText(const std::string&) override {}
    void setMenu(const StatusMenu&) override { builds += 1; }
    bool menuShown() const override { return open; }

    std::optional<StatusGlyph> glyph;
    bool open = false;
    int builds = 0;
};

class StatusPresenterTest : public ControllerHarness {
protected:
    StatusPresenter& presenter()
    {
        if (!m_presenter) {
            AppServices services;
            services.main = &queue;
            provide(desk, services);
            services.permissions = &permissions;
            services.statusItem = &item;
            services.windows = &windows;
            m_presenter =
                std::make_unique<StatusPresenter>(services, behavior,
                                                  StatusPresenter::Hooks{.menu = [] { return StatusMenu{}; },
                                                                         .startCorrector = [this] { starts += 1; },
                                                                         .refreshed = [this] { refreshes += 1; }});
        }
        return *m_presenter;
    }

    CountingPermissions permissions{desk.permissions()};
    MenuStatusItem item;
    BehaviorPrefs behavior{defaults};
    int starts = 0;
    int refreshes = 0;

    void dropPresenter() { m_presenter.reset(); }

private:
    std::unique_ptr<StatusPresenter> m_presenter;
};

// Until both permissions are granted they are asked every 2 s and the setup window opens once;
// the first time both are, the corrector starts once, the permission poll ends and the run state
// is refreshed every 2 s from then on.
TEST_F(StatusPresenterTest, PermissionPollStartsTheCorrectorOnce)
{
    desk.permissions().accessibility = false;
    presenter().watchPermissions();
    queue.advance(4.0);
    EXPECT_EQ(windows.setups, 1);
    EXPECT_EQ(starts, 0);
    EXPECT_FALSE(presenter().started());
    ASSERT_TRUE(item.glyph);
    EXPECT_TRUE(item.glyph->slashed);

    desk.permissions().accessibility = true;
    queue.advance(2.0);
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(presenter().started());
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(item.glyph->slashed);

    desk.permissions().accessibility = false;
    queue.advance(6.0);
    EXPECT_EQ(starts, 1) << "losing a permission later does not start anything again";
    EXPECT_EQ(windows.setups, 1);
    EXPECT_EQ(refreshes, 4);
    EXPECT_FALSE(presenter().status().permissionsOK);
}

// An idle refresh asks each permission once and leaves a closed menu alone: it is built when it
// opens. The first menu is always built, and an open one follows every refresh.
TEST_F(StatusPresenterTest, IdleRefreshAsksOnceAndSparesAClosedMenu)
{
    presenter().watchPermissions();
    const int buildsAtStart = item.builds;
    EXPECT_EQ(buildsAtStart, 1);
    permissions.asks = 0;
    queue.advance(2.0);
    EXPECT_EQ(permissions.asks, 2);
    EXPECT_EQ(item.builds, buildsAtStart);

    item.open = true;
    queue.advance(2.0);
    EXPECT_EQ(item.builds, buildsAtStart + 1);
}

// Each flash restores the glyph on its own, and none is left waiting once the presenter goes.
TEST_F(StatusPresenterTest, FlashesRestoreOnTheirOwnAndDieWithThePresenter)
{
    presenter().watchPermissions();
    item.glyph.reset();
    presenter().flash("one");
    queue.advance(1.0);
    presenter().flash("two");
    queue.advance(0.4);
    EXPECT_TRUE(item.glyph) << "the first flash's time is up";
    item.glyph.reset();
    queue.advance(1.0);
    EXPECT_TRUE(item.glyph) << "the second flash restores the glyph too";

    presenter().flash("three");
    dropPresenter();
    item.glyph.reset();
    queue.advance(3.0);
    EXPECT_FALSE(item.glyph) << "neither the flash's restore nor the refresh outlives the presenter";
}

/// Word lists for some languages only, counting how often each language is asked about.
class CountingLists final : public LanguageOracle {
public:
    explicit CountingLists(std::set<std::string> listed) : m_listed(std::move(listed)) {}
    bool canCheck(const std::string&) override { return true; }
    bool isMisspelled(const std::string&, const std::string&) override { return false; }
    bool isReliable(const std::string&) override { return true; }
    void warmUp(const std::vector<std::string>&) override {}
    Frequency frequency(const std::string&, const std::string& language) override
    {
        asked[language] += 1;
        return m_listed.contains(language) ? Frequency::absent() : Frequency::noList();
    }

    std::map<std::string, int> asked;

private:
    std::set<std::string> m_listed;
};

// The missing word lists name each language once, in the layouts' order, and ask the oracle about
// each once however often the run state is refreshed.
TEST_F(StatusPresenterTest, MissingWordListsAskEachLanguageOnce)
{
    CountingLists lists({"en"});
    const std::vector<std::string> languages = {"he", "en", "", "ar", "he"};
    EXPECT_EQ(presenter().missingWordLists(languages, lists), (std::vector<std::string>{"he", "ar"}));
    EXPECT_EQ(presenter().missingWordLists(languages, lists), (std::vector<std::string>{"he", "ar"}));
    EXPECT_EQ(lists.asked, (std::map<std::string, int>{{"ar", 1}, {"en", 1}, {"he", 1}}));
}

}  // namespace
}  // namespace kx::test
