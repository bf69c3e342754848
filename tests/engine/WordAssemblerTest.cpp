#include "engine/WordAssembler.h"
#include "engine/TranslationEngine.h"
#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

using Events = std::vector<std::string>;

// The user types on the U.S. layout; events read back as text on it.
class WordAssemblerTest : public ::testing::Test {
protected:
    WordAssemblerTest()
    {
        assembler.onWord = [this](const std::vector<KeyStroke>& keys, const WordAssembler::Terminator& end) {
            const auto* mark = std::get_if<WordAssembler::Mark>(&end);
            events.push_back("word " + spelled(keys) + " / " +
                             (mark                                              ? mark->text
                              : std::holds_alternative<WordAssembler::Tab>(end) ? "tab"
                                                                                : "space"));
        };
        assembler.onRestoreLastWord = [this](const std::vector<KeyStroke>& keys) {
            events.push_back("restore " + spelled(keys));
        };
        assembler.onDiscontinuity = [this] { events.push_back("discontinuity"); };
        assembler.onOrphanBreak = [this] { events.push_back("orphan break"); };
    }

    std::string spelled(const std::vector<KeyStroke>& keys) const { return TranslationEngine::reconstruct(keys, us); }
    std::string word() const { return spelled(assembler.keys); }
    void press(std::uint16_t code, std::uint64_t flags = 0, bool letterElsewhere = false, bool endsWordMark = false,
               bool quoteElsewhere = false)
    {
        assembler.handleKeyDown(code, flags, TranslationEngine::character(code, flags, us), letterElsewhere,
                                endsWordMark, quoteElsewhere);
    }
    void type(std::string_view text)
    {
        for (char c : text)
            press(usKeys.at(std::string(1, c)).code, usKeys.at(std::string(1, c)).flags);
    }
    KeyStroke key(const char* c) const { return usKeys.at(c); }

    platform::KeyTable us = platform::KeyTable::forLayout("us");
    std::map<std::string, KeyStroke> usKeys = TranslationEngine::inverseMap(us);
    VirtualMainQueue clock;
    WordAssembler assembler{clock};
    Events events;
};

// Space and Tab finish words; with nothing typed they are orphan breaks, never words.
TEST_F(WordAssemblerTest, SpaceAndTabFinishWords)
{
    type("hello ");
    type("world");
    press(KeyCode::tab);
    press(KeyCode::space);
    EXPECT_EQ(events, (Events{"word hello / space", "word world / tab", "orphan break"}));
}

// Delete right after a word brings it back within 8 seconds; Delete and Forward Delete then edit it.
TEST_F(WordAssemblerTest, DeleteRestoresTheLastWord)
{
    type("hello ");
    clock.advance(7.9);
    press(KeyCode::delete_);
    press(KeyCode::delete_);
    press(KeyCode::forwardDelete);
    EXPECT_EQ(word(), "hel");
    EXPECT_EQ(events, (Events{"word hello / space", "restore hello"}));
}

// Another key in between, or 8 seconds, and Delete only breaks typing, as Forward Delete does.
TEST_F(WordAssemblerTest, RestoreNeedsTheNextKeyWithinEightSeconds)
{
    type("hello  ");
    press(KeyCode::delete_);
    type("again ");
    clock.advance(8.0);
    press(KeyCode::delete_);
    press(KeyCode::forwardDelete);
    EXPECT_EQ(events, (Events{"word hello / space", "orphan break", "discontinuity", "word again / space",
                              "discontinuity", "discontinuity"}));
    EXPECT_TRUE(assembler.keys.empty());
}

// Hyphens, digits and quotes stay inside; a symbol that ends nothing drops the word.
TEST_F(WordAssemblerTest, WhatStaysInsideAWord)
{
    type("x-ray2 don't ");
    type("one+");
    EXPECT_EQ(events, (Events{"word x-ray2 / space", "word don't / space", "discontinuity"}));
    EXPECT_TRUE(assembler.keys.empty());
}

// A word-ending full stop finishes the word with its text, then breaks typing.
TEST_F(WordAssemblerTest, FullStopEndsTheWord)
{
    type("end");
    press(key(".").code, 0, false, true);
    EXPECT_EQ(events, (Events{"word end / .", "discontinuity"}));
}

// Before any letter or digit a word-ending mark breaks typing but stays with the keys around it: a
// closing bracket that opens the word on another layout, a colon between quotes. After a letter or
// a digit it ends the word as before.
TEST_F(WordAssemblerTest, MarksBeforeAnyLetterStayWithTheWord)
{
    const auto mark = [this](const char* c) { press(key(c).code, key(c).flags, false, true); };
    const auto quote = [this] { press(key("'").code, 0, false, false, true); };
    mark(")");
    type("ab ");
    quote();
    mark(":");
    quote();
    press(KeyCode::space);
    type("12");
    mark(":");
    EXPECT_EQ(events, (Events{"discontinuity", "word )ab / space", "discontinuity", "word ':' / space",
                              "word 12 / :", "discontinuity"}));

    // Deleting back to the marks makes the word a word of marks again; a letter typed after
    // deleting marks counts as a letter.
    events.clear();
    quote();
    type("a");
    press(KeyCode::delete_);
    mark(")");
    type("b");
    mark(")");
    quote();
    quote();
    press(KeyCode::delete_);
    type("c");
    mark(")");
    EXPECT_EQ(events, (Events{"discontinuity", "word ')b / )", "discontinuity", "word 'c / )", "discontinuity"}));
}

// A key that is a letter or quote on another layout joins the word; a silent key only as a letter.
TEST_F(WordAssemblerTest, KeysThatMeanSomethingElsewhereJoin)
{
    type("ab");
    press(key(",").code, 0, true, true);
    press(key("`").code, 0, false, false, true);
    assembler.handleKeyDown(24, 0, std::nullopt, false, false, false);
    assembler.handleKeyDown(24, 0, "ab", false, false, false);
    assembler.handleKeyDown(24, 0, std::nullopt, true, false, false);
    EXPECT_EQ(assembler.keys.size(), 5u);
    EXPECT_TRUE(events.empty());
}

// Shortcuts, Return, Escape and navigation drop the word in progress and break typing.
TEST_F(WordAssemblerTest, ShortcutsAndNavigationBreak)
{
    const std::uint16_t breaking[] = {KeyCode::return_, KeyCode::enter, KeyCode::escape,   KeyCode::home,
                                      KeyCode::pageUp,  KeyCode::end,   KeyCode::pageDown, KeyCode::left,
                                      KeyCode::right,   KeyCode::down,  KeyCode::up};
    for (std::uint16_t code : breaking) {
        type("w");
        press(code);
    }
    type("w");
    press(key("a").code, EventFlags::command);
    type("w");
    press(key("a").code, EventFlags::control);
    EXPECT_TRUE(assembler.keys.empty());
    EXPECT_EQ(events, Events(std::size(breaking) + 2, "discontinuity"));
}

// The word remembered for Delete is the one handed out, even when the callback empties the keys.
TEST_F(WordAssemblerTest, RemembersTheWordHandedOut)
{
    assembler.onWord = [this](const std::vector<KeyStroke>&, const WordAssembler::Terminator&) {
        assembler.keys.clear();
    };
    type("hi ");
    ASSERT_TRUE(assembler.lastEmitted);
    EXPECT_EQ(spelled(assembler.lastEmitted->keys), "hi");
}

}  // namespace
}  // namespace kx
