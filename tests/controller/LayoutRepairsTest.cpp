// What the repairs watch for: the orphan a switch leaves, the stale keys after our own switch
// and the suspect first key they make, and the paste whose space may go missing.

#include "controller/LayoutRepairs.h"
#include "platform/KeyTable.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

KeyboardLayoutInfo layout(const std::string& name, const std::string& xkb, const std::string& language)
{
    return {"xkb:" + xkb, name, {language}, platform::KeyTable::forLayout(xkb), {xkb, "", 0}};
}

const KeyboardLayoutInfo us = layout("English (US)", "us", "en");
const KeyboardLayoutInfo il = layout("Hebrew", "il", "he");
const KeyboardLayoutInfo dvorak = layout("English (Dvorak)", "us(dvorak)", "en");

constexpr KeyStroke keyA{0, 0}, keyS{1, 0}, digit1{18, 0};

// An orphan is one to four keys that type something; it serves a word of another script, once.
TEST(LayoutRepairs, Orphan)
{
    struct Row {
        const char* what;
        std::vector<KeyStroke> keys;
        const KeyboardLayoutInfo& word;
        double consumedAt;
        std::optional<std::string> consumed;
    };
    const Row rows[] = {
        {"one key, word in Hebrew", {keyA}, il, 1.0, "a"},
        {"four keys", {keyA, keyS, keyA, keyS}, il, 1.0, "asas"},
        {"five keys are a word", {keyA, keyS, keyA, keyS, keyA}, il, 1.0, std::nullopt},
        {"word of the same script", {keyA}, us, 1.0, std::nullopt},
        {"9.9 s old", {keyA}, il, 9.9, "a"},
        {"10 s old", {keyA}, il, 10.0, std::nullopt},
    };
    for (const Row& row : rows) {
        LayoutRepairs repairs;
        repairs.captureOrphan(row.keys, us, 0);
        const auto orphan = repairs.consumeOrphan("ש", row.word, row.consumedAt);
        EXPECT_EQ(orphan ? std::optional(orphan->text) : std::nullopt, row.consumed) << row.what;
        EXPECT_FALSE(repairs.orphan()) << row.what << ": consumed either way";
    }
    LayoutRepairs repairs;
    EXPECT_FALSE(repairs.captureOrphan({keyA}, std::nullopt, 0)) << "no layout known";
}

// After our switch, the first key of each of the next two words is watched for 1.5 s; a key
// that types a letter of each script becomes the suspect.
TEST(LayoutRepairs, StaleKeysAndTheSuspect)
{
    struct Row {
        const char* what;
        std::vector<KeyStroke> wordStarts;
        double at;
        const KeyboardLayoutInfo& selected;
        bool suspect;
        bool stillWatching;
    };
    const Row rows[] = {
        {"a letter on each", {keyA}, 1.0, il, true, false},
        {"a digit uses a word start", {digit1}, 1.0, il, false, true},
        {"two word starts end it", {digit1, digit1}, 1.0, il, false, false},
        {"at the deadline", {keyA}, 1.6, il, true, false},
        {"past the deadline", {keyA}, 1.61, il, false, false},
        {"same script on both", {keyS}, 1.0, dvorak, false, true},
    };
    for (const Row& row : rows) {
        LayoutRepairs repairs;
        repairs.expectStaleKeys(us, row.selected, StaleArm::ownSwitch, 0.1);
        for (const auto key : row.wordStarts)
            repairs.watchWordStart(key, row.at);
        EXPECT_EQ(repairs.suspect().has_value(), row.suspect) << row.what;
        EXPECT_EQ(repairs.staleExpectation().has_value(), row.stillWatching) << row.what;
    }

    LayoutRepairs repairs;
    repairs.expectStaleKeys(us, il, StaleArm::paste, 0);
    const SuspectStale* suspect = repairs.watchWordStart(keyA, 1.0);
    ASSERT_TRUE(suspect);
    EXPECT_EQ(suspect->text, "a");
    EXPECT_EQ(suspect->armedBy, StaleArm::paste);
    EXPECT_FALSE(repairs.takeSuspect(11.0)) << "10 s old";
    EXPECT_FALSE(repairs.suspect()) << "taken either way";
}

// The last paste is taken by the next word in the same application within 15 s, once.
TEST(LayoutRepairs, PasteIsTakenOnce)
{
    struct Row {
        const char* what;
        std::string app;
        double now;
        bool taken;
    };
    const Row rows[] = {
        {"same application", "firefox", 14.9, true},
        {"another application", "gedit", 1.0, false},
        {"15 s later", "firefox", 15.0, false},
    };
    for (const Row& row : rows) {
        LayoutRepairs repairs;
        repairs.notePaste({"text", "firefox", 0, false});
        EXPECT_EQ(repairs.takePasteInto(row.app, row.now).has_value(), row.taken) << row.what;
        EXPECT_EQ(repairs.lastPaste().has_value(), !row.taken) << row.what;
    }
}

}  // namespace
}  // namespace kx::test
