// A long stretch of writing, switching language every few words without minding the layout, comes
// out exactly as meant.

#include "ControllerHarness.h"

#include <cstdint>

namespace kx::test {
namespace {

struct Word {
    const char* layout;  // the layout whose keys the user types, whatever is selected
    const char* text;
};

// Everyday words of five letters or more, or with a key that types a mark on the other layout: the
// corrector takes other short words only as part of a run.
constexpr Word vocabulary[] = {
    {"us", "people"}, {"us", "world"},  {"us", "house"},   {"us", "water"}, {"us", "little"}, {"us", "never"},
    {"us", "always"}, {"us", "really"}, {"us", "think"},   {"us", "about"}, {"us", "would"},  {"us", "there"},
    {"us", "right"},  {"us", "maybe"},  {"us", "because"}, {"il", "בבקשה"}, {"il", "עכשיו"},  {"il", "אנחנו"},
    {"il", "יכולים"}, {"il", "הולכים"}, {"il", "מישהו"},   {"il", "כמובן"}, {"il", "לעשות"},  {"il", "להיות"},
    {"il", "לראות"},  {"il", "רוצים"},  {"il", "צריכים"},  {"il", "אמרתי"}, {"il", "תודה"},
};

class LongTextTest : public ControllerHarness {};

// Three hundred words in a fixed shuffled order: every word typed on the wrong layout is fixed,
// every word typed on the right one is left alone, and nothing else in the field changes.
TEST_F(LongTextTest, ThreeHundredMixedWordsComeOutAsMeant)
{
    startIn(CorrectionMode::automatic);
    std::string meant;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 300; ++i) {
        seed = seed * 1103515245u + 12345u;
        const Word& word = vocabulary[(seed >> 16) % std::size(vocabulary)];
        const std::string text = std::string(word.text) + " ";
        typeMeantFor(word.layout, text);
        queue.advance(0.5);
        meant += text;
        ASSERT_EQ(field().withCaret(), meant + "|") << "after word " << i << " '" << word.text << "'";
    }
}

}  // namespace
}  // namespace kx::test
