// Dead keys on the simulated desktop: the Greek tonos is a dead key on the key that types ";" on
// the English layout, and a word typed with it, on either layout, is read with its accent.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

constexpr std::uint16_t kSemicolon = 41;

class DeadKeysTest : public ControllerHarness {
protected:
    DeadKeysTest() { desk.setLayouts({"us", "gr"}); }
};

// Greek typed on the English layout: ";" stays inside the word and comes back as the tonos.
TEST_F(DeadKeysTest, GreekTypedOnEnglishTakesItsTonos)
{
    startIn(CorrectionMode::automatic);
    desk.type("kalhm;era ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "καλημέρα ");
    EXPECT_EQ(desk.inputSources().currentName(), "gr");
}

// Typed right, the field composes the accent and the word is left as it is.
TEST_F(DeadKeysTest, GreekTypedRightIsLeftAlone)
{
    startIn(CorrectionMode::automatic);
    desk.switchLayout("gr");
    desk.type("καλημ");
    desk.press(kSemicolon);
    desk.type("ερα ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "καλημέρα ");
    EXPECT_TRUE(logLinesStarting("[").empty());
}

// English with a semicolon still reads as English beside the Greek layout.
TEST_F(DeadKeysTest, EnglishSemicolonStaysEnglish)
{
    startIn(CorrectionMode::automatic);
    desk.type("hello; world ");
    queue.advance(0.5);
    EXPECT_EQ(field().text(), "hello; world ");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
}

// Selected Greek typed on the English layout converts with its accents.
TEST_F(DeadKeysTest, SelectionTakesTheAccents)
{
    startIn(CorrectionMode::automatic);
    field().setText("kalhm;era ;ola");
    field().select(0, 14);
    pressConvertKey();
    queue.advance(0.2);
    EXPECT_EQ(field().withCaret(), "καλημέρα όλα|");
    EXPECT_EQ(desk.inputSources().currentName(), "gr");
}

}  // namespace
}  // namespace kx::test
