// The actuator's events and pastes, and the caret reader, on the simulated desktop.

#include "controller/Actuator.h"
#include "controller/AXCaret.h"
#include "platform/KeyStroke.h"
#include "platform/sim/SimDesktop.h"

#include "ScopedLog.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

using platform::PasteboardItem;
using platform::SyntheticKey;

class ActuatorTest : public ::testing::Test {
protected:
    ActuatorTest()
    {
        desk.setLayouts({"us", "il"});
        desk.launch({.id = "firefox", .name = "Firefox", .pid = 500, .electron = false});
        desk.activate("firefox");
        queue.runUntilIdle();
        desk.pasteboard().copyFromElsewhere({userItem});
    }

    sim::SimTextField& field() { return *desk.focusedField(); }
    const std::vector<SyntheticKey>& posted() { return desk.eventPoster().posted(); }

    const PasteboardItem userItem{{"image/png", "PNG"}, {std::string(platform::Pasteboard::stringType), "mine"}};
    VirtualMainQueue queue;
    sim::SimDesktop desk{queue};
    std::vector<double> pauses;
    TempFolder m_logFolder{"kx-actuator"};
    Actuator actuator{desk.eventPoster(), desk.pasteboard(), desk.inputSources(), queue,
                      [this](double seconds) { pauses.push_back(seconds); }};
};

// Under the paste strategy a trailing blank is typed as its own key after the paste.
TEST_F(ActuatorTest, ClipboardReplaceTypesTrailingBlankAsKey)
{
    struct Row {
        const char* text;
        const char* pasted;     // what reached the pasteboard for the paste
        std::uint16_t lastKey;  // the last key posted
    };
    const Row rows[] = {
        {"שלום ", "שלום", Actuator::spaceKey},
        {"שלום\t", "שלום", Actuator::tabKey},
        {"שלום.", "שלום.", Actuator::vKey},
    };
    for (const auto& row : rows) {
        field().setText("akuo ");
        desk.eventPoster().clearPosted();
        EXPECT_TRUE(actuator.replace(5, row.text, ActuationStrategy::clipboard));
        EXPECT_EQ(field().text(), row.text);
        EXPECT_EQ(posted().back().code, row.lastKey) << row.text;
        EXPECT_EQ(posted()[10].code, Actuator::vKey) << row.text;
        EXPECT_EQ(posted()[10].flags, EventFlags::command);
        EXPECT_EQ(desk.pasteboard().string(), row.pasted);
        queue.advance(0.2);
    }
}

// A replacement that is one blank pastes nothing and leaves the user's pasteboard alone.
TEST_F(ActuatorTest, LoneBlankUnderClipboardOnlyTypesTheKey)
{
    const auto before = desk.pasteboard().changeCount();
    EXPECT_TRUE(actuator.replace(0, " ", ActuationStrategy::clipboard));
    ASSERT_EQ(posted().size(), 2u);
    EXPECT_EQ(posted()[0].code, Actuator::spaceKey);
    EXPECT_EQ(desk.pasteboard().changeCount(), before);
    EXPECT_EQ(field().text(), " ");
}

// When the user's pasteboard cannot be saved in time, the text is typed instead: the user's copy
// stays as it is, nothing waits for it, and the log says why. The paste's pending restore is known
// until it has run.
TEST_F(ActuatorTest, UnsavablePasteboardIsTypedAroundNotPasted)
{
    const test::ScopedLog log(m_logFolder / "kestrelix.log");
    desk.pasteboard().setSlowOwner(true);
    const auto before = desk.pasteboard().changeCount();
    field().setText("akuo ");
    EXPECT_TRUE(actuator.replace(5, "שלום ", ActuationStrategy::clipboard));
    EXPECT_EQ(field().text(), "שלום ");
    EXPECT_EQ(desk.pasteboard().changeCount(), before);
    EXPECT_FALSE(actuator.restorePending());
    for (const auto& event : posted())
        EXPECT_NE(event.code == Actuator::vKey && event.flags == EventFlags::command, true) << "no paste key";
    EXPECT_NE(log.text().find("could not be saved in time — typing instead of pasting"), std::string::npos);

    desk.pasteboard().setSlowOwner(false);
    actuator.paste("שלום");
    EXPECT_TRUE(actuator.restorePending());
    queue.advance(0.2);
    EXPECT_FALSE(actuator.restorePending());
    EXPECT_EQ(desk.pasteboard().items(), std::vector<PasteboardItem>{userItem});
}

// The user's pasteboard comes back 0.2 s after a paste, unless something wrote to it meanwhile.
TEST_F(ActuatorTest, PasteRestoresPasteboardUnlessChanged)
{
    actuator.paste("שלום");
    EXPECT_EQ(desk.pasteboard().string(), "שלום");
    queue.advance(0.2);
    EXPECT_EQ(desk.pasteboard().items(), std::vector<PasteboardItem>{userItem});

    actuator.paste("שלום");
    queue.advance(0.1);
    const PasteboardItem copied{{std::string(platform::Pasteboard::stringType), "copied"}};
    desk.pasteboard().copyFromElsewhere({copied});
    queue.advance(0.1);
    EXPECT_EQ(desk.pasteboard().items(), std::vector<PasteboardItem>{copied});
}

// A second paste before the first one's restore keeps the user's copy, not our first text.
TEST_F(ActuatorTest, PastesInQuickSuccessionRestoreTheUsersCopy)
{
    actuator.paste("שלום");
    queue.advance(0.1);
    actuator.paste("עולם");
    queue.advance(0.1);
    EXPECT_EQ(desk.pasteboard().string(), "עולם");
    queue.advance(0.1);
    EXPECT_FALSE(actuator.restorePending());
    EXPECT_EQ(desk.pasteboard().items(), std::vector<PasteboardItem>{userItem});
}

// Every event is marked and followed by its pause; Backspaces come as down-up pairs.
TEST_F(ActuatorTest, SyntheticReplaceMarksEveryEventAndPauses)
{
    field().setText("akuo ");
    EXPECT_TRUE(actuator.replace(5, "שלום ", ActuationStrategy::synthetic));
    EXPECT_EQ(field().text(), "שלום ");
    ASSERT_EQ(posted().size(), 20u);
    for (const auto& event : posted())
        EXPECT_TRUE(event.marked);
    EXPECT_EQ(posted()[0], (SyntheticKey{.code = 51, .flags = 0, .down = true, .text = {}, .marked = true}));
    EXPECT_EQ(posted()[1], (SyntheticKey{.code = 51, .flags = 0, .down = false, .text = {}, .marked = true}));
    EXPECT_EQ(pauses, std::vector<double>(20, 0.0025));
}

// Where the desktop acknowledges each post, a typed rewrite goes as one batch with no pause; a
// pasted one sends its Backspaces as one, then the paste key and the blank as their own, and
// keeps the waits the application needs to read the pasteboard.
TEST_F(ActuatorTest, AcknowledgedRewriteGoesAsOneBatch)
{
    desk.eventPoster().acknowledging = true;
    field().setText("akuo ");
    EXPECT_TRUE(actuator.replace(5, "שלום ", ActuationStrategy::synthetic));
    EXPECT_EQ(field().text(), "שלום ");
    EXPECT_EQ(desk.eventPoster().batches(), std::vector<std::size_t>{20});
    EXPECT_TRUE(pauses.empty());

    desk.eventPoster().clearPosted();
    EXPECT_TRUE(actuator.replace(5, "akuo ", ActuationStrategy::clipboard));
    EXPECT_EQ(field().text(), "akuo ");
    EXPECT_EQ(desk.eventPoster().batches(), (std::vector<std::size_t>{10, 2, 2}));
    EXPECT_EQ(pauses, (std::vector<double>{0.045, 0.015, 0.045}));
}

// A character of several scalars is typed as one key pair carrying all of it.
TEST_F(ActuatorTest, InsertTypesWholeCharacters)
{
    actuator.insert("e\u0301👍");
    ASSERT_EQ(posted().size(), 4u);
    EXPECT_EQ(posted()[0].text, "e\u0301");
    EXPECT_EQ(posted()[2].text, "👍");
    EXPECT_EQ(field().text(), "e\u0301👍");
}

// Under the paste strategy: the Backspaces, 45 ms, the text on the pasteboard 15 ms before the
// paste key, 45 ms, then the trailing blank as a key.
TEST_F(ActuatorTest, ClipboardReplacePausesInOrder)
{
    field().setText("a");
    EXPECT_TRUE(actuator.replace(1, "ab ", ActuationStrategy::clipboard));
    EXPECT_EQ(field().text(), "ab ");
    EXPECT_EQ(pauses, (std::vector<double>{0.0025, 0.0025, 0.045, 0.015, 0.0025, 0.0025, 0.045, 0.0025, 0.0025}));
}

// A snapshot of an empty pasteboard puts back an empty pasteboard; nothing is posted when
// the desktop refuses events.
TEST_F(ActuatorTest, EmptySnapshotAndRefusedEvents)
{
    desk.pasteboard().clearContents();
    actuator.paste("שלום");
    queue.advance(0.2);
    EXPECT_TRUE(desk.pasteboard().items().empty());

    desk.eventPoster().clearPosted();
    pauses.clear();
    desk.eventPoster().refusesPosting = true;
    EXPECT_FALSE(actuator.tapKey(Actuator::spaceKey, 0));
    EXPECT_FALSE(actuator.replace(2, "ab", ActuationStrategy::synthetic)) << "nothing went out";
    EXPECT_TRUE(posted().empty());
    EXPECT_TRUE(pauses.empty());
}

// A rewrite holding a character the keyboard cannot type is given up whole: not one Backspace
// goes out, so the text it would have replaced stays. A paste carries any character.
TEST_F(ActuatorTest, UntypeableTextPostsNothing)
{
    field().setText("akuo ");
    desk.eventPoster().untypeable = {"✓"};
    EXPECT_FALSE(actuator.replace(5, "שלום ✓", ActuationStrategy::synthetic));
    EXPECT_TRUE(posted().empty());
    EXPECT_EQ(field().text(), "akuo ");

    EXPECT_TRUE(actuator.replace(5, "שלום ✓", ActuationStrategy::clipboard));
    EXPECT_EQ(field().text(), "שלום ✓");
}

// An accessibility service whose answers the test sets.
class FixedAccessibility final : public platform::Accessibility {
public:
    std::optional<std::string> focusedValue(double) override { return value; }
    std::optional<platform::TextRange> selectedRange(double) override { return range; }
    std::optional<std::string> selectedText(double) override { return std::nullopt; }
    std::optional<std::string> textBeforeCaret(int count, double) override
    {
        if (!value || !range)
            return std::nullopt;
        return unitsBefore(*value, range->location, count);
    }
    bool isReachable() override { return true; }
    bool offersAccessibility(std::int32_t) override { return true; }

    std::optional<std::string> value;
    std::optional<platform::TextRange> range;
};

// The caret reader gives the units before the caret, "" at the start, none when unreadable.
TEST(AXCaretTest, ReadsTailBeforeCaret)
{
    struct Row {
        std::optional<std::string> value;
        std::int64_t location;
        int count;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"hello world", 11, 5, "world"},
        {"hello world", 5, 3, "llo"},
        {"hello world", 0, 5, ""},           // caret at the start of the field
        {"שלום", 4, 10, "שלום"},             // fewer units than asked
        {"ab👍", 4, 2, "👍"},                  // counted in UTF-16 units
        {"abc", 40, 2, "bc"},                // caret reported past the end
        {"abc", -1, 2, std::nullopt},        // no valid caret
        {std::nullopt, 0, 2, std::nullopt},  // not a text element
    };
    for (const auto& row : rows) {
        VirtualMainQueue queue;
        FixedAccessibility accessibility;
        accessibility.value = row.value;
        accessibility.range = platform::TextRange{row.location, 0};
        auto axQueue = SerialQueue::inlineQueue();
        AXCaret caret(accessibility, *axQueue, queue);
        std::optional<std::optional<std::string>> got;
        caret.readTail(row.count, 0.25, [&](std::optional<std::string> text) { got = text; });
        EXPECT_FALSE(got) << "the answer comes on the main queue";
        queue.runUntilIdle();
        ASSERT_TRUE(got);
        EXPECT_EQ(*got, row.expected) << row.value.value_or("(none)") << " @" << row.location;
    }
}

}  // namespace
}  // namespace kx::test
