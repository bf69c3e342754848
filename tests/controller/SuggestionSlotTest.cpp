// The pending suggestion: taken only while no key came since it was armed, dropped with its
// prompt, and expired by its own timer, never by an older suggestion's.

#include "controller/SuggestionSlot.h"
#include "ControllerHarness.h"

namespace kx::test {
namespace {

class SuggestionSlotTest : public ::testing::Test {
protected:
    static SpanCorrection span(const std::string& insert) { return {.insertText = insert}; }

    VirtualMainQueue queue;
    FakePrompt prompt;
    SuggestionSlot slot{queue, prompt};
};

// Each verb on an armed slot, with what is left pending and shown.
TEST_F(SuggestionSlotTest, Verbs)
{
    struct Row {
        const char* what;
        std::function<void(SuggestionSlot&)> act;
        bool pending;
        bool visible;
    };
    const Row rows[] = {
        {"armed and shown", [](SuggestionSlot&) {}, true, true},
        {"taken with a key since", [](SuggestionSlot& s) { EXPECT_FALSE(s.take(8)); }, true, true},
        {"taken", [](SuggestionSlot& s) { EXPECT_EQ(s.take(7)->insertText, "a"); }, false, false},
        {"dropped", [](SuggestionSlot& s) { s.drop(); }, false, false},
        {"just before expiry", [this](SuggestionSlot&) { queue.advance(4.99); }, true, true},
        {"expired", [this](SuggestionSlot&) { queue.advance(5.0); }, false, false},
    };
    for (const Row& row : rows) {
        slot.drop();
        slot.arm(span("a"), 7);
        slot.showIfPending({10, 10});
        row.act(slot);
        EXPECT_EQ(slot.pending(), row.pending) << row.what;
        EXPECT_EQ(prompt.visible, row.visible) << row.what;
    }
}

// A newer suggestion keeps its own five seconds; nothing pending shows no prompt.
TEST_F(SuggestionSlotTest, NewerSuggestionOutlivesTheOlderExpiry)
{
    slot.showIfPending({0, 0});
    EXPECT_FALSE(prompt.visible);
    slot.arm(span("old"), 1);
    queue.advance(3.0);
    slot.arm(span("new"), 2);
    queue.advance(4.0);
    ASSERT_TRUE(slot.pending());
    EXPECT_EQ(slot.take(2)->insertText, "new");
}

}  // namespace
}  // namespace kx::test
