// The context after a correction: collected into the record it belongs to, closed by the third
// word, by the next correction or by its own timer, never by an older correction's.

#include "controller/CorrectionContext.h"
#include "ControllerHarness.h"
#include "stores/HistoryStore.h"

namespace kx::test {
namespace {

class CorrectionContextTest : public ControllerHarness {
protected:
    CorrectionContextTest() { defaults.set("kestrelix.troubleshooting", true); }

    /// A record for the context to complete; its id.
    Uuid addRecord()
    {
        CorrectionRecord record;
        history.add(record);
        return record.id;
    }
    std::vector<std::string> after(const Uuid& id)
    {
        const auto& records = history.records();
        return std::ranges::find(records, id, &CorrectionRecord::id)->contextAfter;
    }

    HistoryStore history{defaults, root / "history.json"};
    std::vector<std::string> debugLines;
    CorrectionContext context{queue, history, [this](const std::string& line) { debugLines.push_back(line); }};
};

using Words = std::vector<std::string>;

// How the words after one correction reach its record.
TEST_F(CorrectionContextTest, Verbs)
{
    struct Row {
        const char* what;
        std::function<void()> act;
        Words recorded;
        bool open;
    };
    const Row rows[] = {
        {"two words wait",
         [&] {
             context.noteWord("a");
             context.noteWord("b");
         },
         {},
         true},
        {"the third flushes",
         [&] {
             for (auto w : {"a", "b", "c"})
                 context.noteWord(w);
         },
         {"a", "b", "c"},
         false},
        {"flushed by hand",
         [&] {
             context.noteWord("a");
             context.flush();
         },
         {"a"},
         false},
        {"just before 15 s",
         [&] {
             context.noteWord("a");
             queue.advance(14.99);
         },
         {},
         true},
        {"at 15 s",
         [&] {
             context.noteWord("a");
             queue.advance(15.0);
         },
         {"a"},
         false},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Uuid id = addRecord();
        context.begin("line");
        context.attach(id);
        rows[i].act();
        EXPECT_EQ(after(id), rows[i].recorded) << rows[i].what;
        EXPECT_EQ(context.pending().has_value(), rows[i].open) << rows[i].what;
        context.flush();
    }
    EXPECT_EQ(debugLines.at(1), "  context after: 'a', 'b', 'c'");
}

// A newer correction's context is not closed by the older one's timer; words without an open
// context go nowhere.
TEST_F(CorrectionContextTest, OlderTimerLeavesTheNewerContext)
{
    context.noteWord("lost");
    EXPECT_FALSE(context.pending());
    context.begin("first");
    queue.advance(10.0);
    context.begin("second");
    const Uuid id = addRecord();
    context.attach(id);
    context.noteWord("a");
    queue.advance(6.0);
    ASSERT_TRUE(context.pending());
    queue.advance(10.0);
    EXPECT_FALSE(context.pending());
    EXPECT_EQ(after(id), Words{"a"});
}

}  // namespace
}  // namespace kx::test
