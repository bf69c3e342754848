// The Backspaces of a rewrite remove exactly the stale text, whether the field's Backspace takes
// one scalar or a whole character cluster, and never more where the field cannot be read.

#include "controller/ExactDeletion.h"
#include "platform/sim/SimTextField.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

using Backspace = sim::SimTextField::Backspace;
using Kind = ExactDeletion::Step::Kind;

struct Row {
    const char* name;
    std::string before;
    std::string stale;
};

// A haraka typed after a space joins it; niqqud and vowel signs sit on their letters.
const Row rows[] = {
    {"haraka after a space", "gotten \u064B\u0634\u0645\u0645\u063A ", "\u064B\u0634\u0645\u0645\u063A "},
    {"Hebrew niqqud", "\u05D8\u05D5\u05D1 \u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD ",
     "\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD "},
    {"niqqud mark first", "and \u05C1\u05E7\u05DA\u05DA\u05DD ", "\u05C1\u05E7\u05DA\u05DA\u05DD "},
    {"Devanagari vowel signs", "ok \u0928\u092E\u0938\u094D\u0924\u0947 ", "\u0928\u092E\u0938\u094D\u0924\u0947 "},
};

// Posts and reads as the controller does, against a field holding before that takes what its
// Backspace takes;
// the field gets lag Backspaces of each batch only at the second read, as a busy application would.
std::string rewrite(const Row& row, Backspace takes, int lag = 0, int alreadyPosted = 0)
{
    sim::SimTextField field;
    field.backspaceTakes = takes;
    field.setText(row.before);
    ExactDeletion plan(row.before, row.stale, alreadyPosted);
    int pending = plan.firstBackspaces() + alreadyPosted;
    std::string restore;
    for (int reads = 0; reads < 40; ++reads) {
        const int now = std::max(0, pending - (reads == 0 ? lag : 0));
        for (int i = 0; i < now; ++i)
            field.backspace();
        pending -= now;
        const auto step = plan.next(field.text());
        if (step.kind == Kind::more)
            pending += step.backspaces;
        if (step.kind == Kind::done || step.kind == Kind::lost) {
            EXPECT_EQ(step.kind, Kind::done) << row.name;
            restore = step.restore;
            break;
        }
    }
    field.insert(restore + "NEW ");
    return field.text();
}

TEST(ExactDeletionTest, RemovesExactlyTheStaleTextWhateverOneBackspaceTakes)
{
    for (const Row& row : rows) {
        const std::string kept = row.before.substr(0, row.before.size() - row.stale.size());
        EXPECT_FALSE(ExactDeletion(row.before, row.stale).plain()) << row.name;
        for (const Backspace takes : {Backspace::scalar, Backspace::cluster}) {
            EXPECT_EQ(rewrite(row, takes), kept + "NEW ")
                << row.name << (takes == Backspace::cluster ? " (clusters)" : "");
            EXPECT_EQ(rewrite(row, takes, 2), kept + "NEW ")
                << row.name << (takes == Backspace::cluster ? " (clusters, late)" : " (late)");
        }
    }
}

// A key typed after the Space and taken back ahead of the rewrite: a haraka that joined the
// Space, whose own Backspace may take the Space with it.
TEST(ExactDeletionTest, KeyTakenBackAheadCountsAmongTheBackspaces)
{
    const Row row{"haraka taken back", "gotten \u0634\u0645 \u064B", "\u0634\u0645 \u064B"};
    for (const Backspace takes : {Backspace::scalar, Backspace::cluster}) {
        EXPECT_EQ(rewrite(row, takes, 0, 1), "gotten NEW ") << (takes == Backspace::cluster ? "clusters" : "scalars");
        EXPECT_EQ(rewrite(row, takes, 2, 1), "gotten NEW ") << (takes == Backspace::cluster ? "clusters" : "scalars");
    }
}

// Text of one scalar a character needs no reading: one Backspace a scalar, as always.
TEST(ExactDeletionTest, TextOfSingleScalarsIsPlain)
{
    const ExactDeletion latin("hello ghbdtn ", "ghbdtn ");
    EXPECT_TRUE(latin.plain());
    EXPECT_EQ(latin.firstBackspaces(), 7);
    const ExactDeletion unreadHebrew(std::nullopt, "\u05E9\u05DC\u05D5\u05DD ");
    EXPECT_TRUE(unreadHebrew.plain());
    EXPECT_EQ(unreadHebrew.firstBackspaces(), 5);
    // A mark before the stale text stays with its own letter; one at the very start of the field
    // has no character to join.
    EXPECT_TRUE(ExactDeletion("\u05E9\u05B8 abc", "abc").plain());
    EXPECT_TRUE(ExactDeletion("\u064B\u0634 ", "\u064B\u0634 ").plain());
}

// Where the field cannot be read, only the characters wholly inside the stale text are deleted:
// a leading mark stays rather than take the space before it.
TEST(ExactDeletionTest, UnreadableFieldIsNeverDeletedPastTheStaleText)
{
    const struct {
        std::string stale;
        int backspaces;
    } cases[] = {
        {"\u064B\u0634\u0645\u0645\u063A ", 5},
        {"\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD ", 5},
        {"\u0928\u092E\u0938\u094D\u0924\u0947", 3},
    };
    for (const auto& c : cases) {
        ExactDeletion plan(std::nullopt, c.stale);
        EXPECT_FALSE(plan.readable());
        EXPECT_EQ(plan.firstBackspaces(), c.backspaces) << c.stale;
        EXPECT_EQ(plan.next("anything").kind, Kind::done);
    }
    // Read text that does not end with the stale text is no guide either.
    EXPECT_FALSE(ExactDeletion("something else", "\u064B\u0634").readable());
}

}  // namespace
}  // namespace kx
