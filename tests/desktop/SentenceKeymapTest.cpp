// The real executable corrects a Russian sentence typed on us by a user who selects us again before
// every word and holds each key 110 ms: the rewrites land among held keys and after the user's
// own switch, and still the keymap, which every client on the desktop reloads at each change,
// changes at most once for the whole sentence.

#include "KestrelixFixture.h"
#include "KeymapWatch.h"

#include <chrono>
#include <thread>
#include <utility>

namespace kx {
namespace {

using test::DesktopSession;

class SentenceKeymapTest : public test::KestrelixFixture {};

TEST_F(SentenceKeymapTest, RussianSentenceOnUsChangesTheKeymapAtMostOnce)
{
    ASSERT_TRUE(test::setLayouts({"us", "ru"}));
    startKestrelix();
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(DesktopSession::waitFor([&] { return log().find("enabled layouts = ") != std::string::npos; }, 30));
    const auto field = frontField("KxSentence");
    ASSERT_TRUE(field);
    test::KeymapWatch keymap;

    const std::string sentence =
        "Привет мир. Как дела у Вас? В Москве сегодня тепло, а в Питере дождь. Ну что ж, поехали дальше.";
    // Each key held 1.4 paces: 110 ms.
    ASSERT_TRUE(m_user->typeOverlapping(sentence, "ru", {.pace = 0.11 / 1.4, .groupBeforeEachWord = 0u}));
    // Settled: the same text for a second after the last key, and the last rewrite over.
    std::string shown = field->text();
    DesktopSession::waitFor(
        [&] {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const std::string now = field->text();
            return std::exchange(shown, now) == now;
        },
        10);
    ASSERT_TRUE(rewriteOver());

    ASSERT_NE(log().find("[automatic] '"), std::string::npos) << "nothing was corrected\n" << log();
    const auto changes = keymap.take();
    EXPECT_LE(changes.core, 1) << changes.xkb << " XKB keymap notices; field: " << shown << "\n" << log();
}

}  // namespace
}  // namespace kx
