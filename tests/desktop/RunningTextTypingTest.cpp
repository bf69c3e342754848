// Real sentences typed at a quick typist's pace, keys overlapping, into a GTK entry and a Qt line
// edit while the real executable corrects them: no word may come out damaged (a letter lost,
// moved or doubled, a space lost, a capital lost), whatever the corrector decides about it.
// The short form of bench/typing's kx_typing_bench.

#include "DesktopSession.h"
#include "KestrelixProcess.h"
#include "KeyboardScene.h"
#include "TypingRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace kx::bench {
namespace {

using test::DesktopSession;

constexpr double quickPaceMs = 60;

class RunningTextTypingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        ASSERT_TRUE(test::setLayouts({"us", "il"}));
        m_keys = LayoutKeys::compile("us,il");
        ASSERT_TRUE(m_keys);
        m_app = std::make_unique<KestrelixProcess>();
        ASSERT_TRUE(m_app->ok()) << "kestrelix did not get ready (is another instance of this user running?)\n"
                                 << m_app->log();
        m_typist = std::make_unique<Typist>();
        ASSERT_TRUE(m_typist->ok());
    }

    // Types words of the language's text in the pattern and expects none damaged.
    void expectNoDamage(TextTarget& target, const std::string& language, Pattern pattern, int words)
    {
        const auto& run = *std::ranges::find(languageRuns(), language, &LanguageRun::language);
        int skipped = 0;
        const auto sentences =
            typeableSentences(KX_TEXTS_DIR "/" + run.textLanguage() + ".txt", *m_keys, run.groups, skipped);
        ASSERT_FALSE(sentences.empty());
        const CellResult cell = typeCell(*m_typist, target, sentences, run.groups,
                                         {.pattern = pattern, .paceMs = quickPaceMs, .words = words});
        EXPECT_EQ(cell.failure, "");
        EXPECT_GE(cell.tally.words, words);
        std::string damage;
        for (const auto& line : cell.damage)
            damage += "  " + line + "\n";
        EXPECT_EQ(cell.tally.damaged, 0) << language << ", " << nameOf(pattern) << ", " << nameOf(target.kind())
                                         << ": damaged sentences (meant => field):\n"
                                         << damage << m_app->log();
        EXPECT_TRUE(m_app->running());
    }

    std::optional<LayoutKeys> m_keys;
    std::unique_ptr<KestrelixProcess> m_app;
    std::unique_ptr<Typist> m_typist;
};

TEST_F(RunningTextTypingTest, GtkEntryGetsEveryKeyOnceAndInOrder)
{
    TextTarget entry(TargetKind::gtk);
    ASSERT_TRUE(entry.ok());
    expectNoDamage(entry, "he", Pattern::wholeSentence, 60);
    expectNoDamage(entry, "he", Pattern::everyWord, 60);
    expectNoDamage(entry, "he", Pattern::mixed, 30);
}

TEST_F(RunningTextTypingTest, QtLineEditGetsEveryKeyOnceAndInOrder)
{
    TextTarget lineEdit(TargetKind::qt);
    ASSERT_TRUE(lineEdit.ok());
    expectNoDamage(lineEdit, "en", Pattern::everyWord, 30);
}

}  // namespace
}  // namespace kx::bench
