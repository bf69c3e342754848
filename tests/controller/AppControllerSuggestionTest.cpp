// Ask mode on the simulated desktop: a wrong-layout word waits as a suggestion by the pointer,
// the hot key or a click applies it, and almost anything else drops it.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class SuggestionTest : public ControllerHarness {};

// The word stays as typed, the prompt opens at the pointer, and the hot key applies the suggestion.
TEST_F(SuggestionTest, PromptAtPointerThenHotKeyApplies)
{
    // The older words, with figures in them, read as nothing on either layout: no run reads better.
    defaults.set("kestrelix.debugLogging", true);
    auto& app = startIn(CorrectionMode::ask);
    desk.type("gdgdg1 xcxcx1 ");
    desk.pointer().where = {640, 360};
    desk.type("cceav ");
    desk.pointer().where = {0, 0};
    queue.advance(4.9);
    EXPECT_EQ(field().text(), "gdgdg1 xcxcx1 cceav ");
    EXPECT_TRUE(prompt.visible);
    EXPECT_EQ(prompt.origin, (platform::ScreenPoint{640, 360}));
    EXPECT_TRUE(logHas("suggest 'cceav' → 'בבקשה' — ⌥⌘K to apply"));

    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "gdgdg1 xcxcx1 בבקשה |");
    EXPECT_FALSE(prompt.visible);
    EXPECT_FALSE(app.suggestionPending());
    EXPECT_TRUE(logHas("[ask] 'cceav' -> 'בבקשה'  switch → Hebrew  retro=0  del=6  [synthetic]"));
    EXPECT_TRUE(logHas("⌥⌘K → accepted the suggestion"));
}

// A click on the prompt rewrites the run just typed when that reads better than the suggestion.
TEST_F(SuggestionTest, ClickOnPromptPrefersTheRun)
{
    auto& app = startIn(CorrectionMode::ask);
    typeMeantFor("il", "מה שלום ");
    queue.advance(0.5);
    ASSERT_TRUE(app.suggestionPending());
    desk.click(sim::MouseButton::left, prompt.origin);
    ASSERT_TRUE(app.suggestionPending()) << "a click on the prompt belongs to the prompt";
    prompt.onClick();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "מה שלום |");
    EXPECT_EQ(logLinesStarting("[ask] manual run").size(), 1u);
    EXPECT_FALSE(prompt.visible);
}

// A key, a click elsewhere, another application, 5.0 s or a mode change drop the suggestion.
TEST_F(SuggestionTest, EverythingElseDropsIt)
{
    auto& app = startIn(CorrectionMode::ask);
    desk.launch(firefox);
    const std::vector<std::pair<const char*, std::function<void()>>> drops = {
        {"key", [&] { desk.type("x"); }},
        {"click elsewhere",
         [&] {
             desk.click(sim::MouseButton::left, {500, 500});
         }},
        {"another application", [&] { desk.activate(firefox.id); }},
        {"5.0 s", [&] { queue.advance(0.01); }},
        {"mode change", [&] { app.behavior().setCorrectionMode(CorrectionMode::manual); }},
    };
    for (const auto& [name, drop] : drops) {
        desk.type(" cceav ");
        queue.advance(4.99);
        ASSERT_TRUE(prompt.visible) << name;
        drop();
        queue.runUntilIdle();
        EXPECT_FALSE(app.suggestionPending()) << name;
        EXPECT_FALSE(prompt.visible) << name;
    }
}

// An older suggestion's expiry leaves a newer one alone.
TEST_F(SuggestionTest, OlderExpiryNeverRemovesNewerSuggestion)
{
    auto& app = startIn(CorrectionMode::ask);
    desk.type("cceav ");
    queue.advance(2.0);
    desk.type("x\bcceav ");  // the first key drops the first suggestion; the word arms a second
    ASSERT_TRUE(app.suggestionPending());
    queue.advance(4.0);
    EXPECT_TRUE(app.suggestionPending());
    EXPECT_TRUE(prompt.visible);
    queue.advance(1.0);
    EXPECT_FALSE(app.suggestionPending());
}

// The prompt clicked while a rewrite is being typed keeps the suggestion for a click afterwards.
TEST_F(SuggestionTest, ClickDuringARewriteWaitsForItsEnd)
{
    auto& app = startIn(CorrectionMode::ask);
    desk.type("cceav ");
    app.beginActuating();
    prompt.onClick();
    queue.runUntilIdle();
    EXPECT_EQ(field().text(), "cceav ");
    EXPECT_TRUE(prompt.visible);

    app.releaseHold();
    prompt.onClick();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "בבקשה |");
}

// A key that arms a suggestion while an older one is up leaves none pending and no prompt shown.
TEST_F(SuggestionTest, KeyThatArmsAnotherLeavesNothingPending)
{
    auto& app = startIn(CorrectionMode::ask);
    desk.type("cceav");
    app.armSuggestion({});
    desk.type(" ");
    EXPECT_FALSE(app.suggestionPending());
    EXPECT_FALSE(prompt.visible);
}

}  // namespace
}  // namespace kx::test
