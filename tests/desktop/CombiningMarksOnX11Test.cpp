// Combining marks on the real desktop. What one Backspace takes after a mark in a GTK entry and a
// Qt line edit (the reason the corrector checks its Backspaces), and sentences typed on layouts
// whose Shift types marks, with the real executable correcting them: no word may lose the space
// before it, or a letter.

#include "DesktopSession.h"
#include "KestrelixProcess.h"
#include "KeyboardScene.h"
#include "TypingRun.h"
#include "engine/TranslationEngine.h"
#include "platform/KeyTable.h"
#include "platform/Text.h"
#include "platform/x11/KeyMapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <sstream>

namespace kx::bench {
namespace {

using test::DesktopSession;
using test::TextField;
using Toolkit = TextField::Toolkit;

constexpr unsigned backspaceKeycode = 22;

std::string toolkitName(Toolkit toolkit)
{
    return toolkit == Toolkit::qt ? "Qt" : "Gtk";
}

// Fewer words in the field than meant (two run together), or a word that starts with a mark.
bool lostSpaceOrKeptMark(const std::string& meant, const std::string& field)
{
    const auto words = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string word; in >> word;)
            out.push_back(word);
        return out;
    };
    const auto shown = words(field);
    return shown.size() < words(meant).size() || std::ranges::any_of(shown, [](const std::string& word) {
               return text::isMark(text::toScalars(word).front());
           });
}

class CombiningMarksOnX11Test : public ::testing::TestWithParam<Toolkit> {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
    }

    /// A field of the toolkit in front; null (test skipped or failed) when it does not start.
    std::unique_ptr<TextField> frontField()
    {
        auto field = std::make_unique<TextField>(GetParam(), "KxMarks");
        if (!field->ok() && GetParam() == Toolkit::gtk) {
            ADD_FAILURE() << "GTK 3 with Python bindings is not available";
            return nullptr;
        }
        const auto settled = DesktopSession::waitFor([&] { return field->text() == ""; }, 10);
        if (!field->ok() || !settled)
            return nullptr;
        return field;
    }
};

// What one Backspace after a combining mark takes, by toolkit: Qt takes the mark alone; so does GTK
// after a Hebrew or Devanagari letter, but a haraka typed after a space goes with the space.
TEST_P(CombiningMarksOnX11Test, OneBackspaceAfterACombiningMark)
{
    const struct {
        const char* name;
        std::vector<std::string> layouts;
        std::string layout, variant;
        std::string base, mark;
        bool takesBaseInGtk;
    } rows[] = {
        {"haraka after a space", {"us", "ara"}, "ara", "", " ", "\u064B", true},
        {"point on a Hebrew letter", {"us", "il(lyx)"}, "il", "lyx", "\u05E7", "\u05B8", false},
        {"vowel sign on a Devanagari letter", {"us", "in"}, "in", "", "\u0915", "\u093F", false},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(test::setLayouts(row.layouts)) << row.name;
        auto field = frontField();
        ASSERT_TRUE(field) << row.name;
        test::OtherClient user;
        ASSERT_TRUE(user.ok());
        user.typeKeys("ab");
        ASSERT_TRUE(field->waitForText("ab")) << row.name << ": " << field->text();
        user.lockGroup(1);
        const auto keys = TranslationEngine::inverseMap(platform::KeyTable::forLayout(row.layout, row.variant));
        for (const std::string& character : {row.base, row.mark}) {
            const auto found = keys.find(character);
            ASSERT_NE(found, keys.end()) << row.name;
            const bool shifted = (found->second.flags & EventFlags::shift) != 0;
            user.tap(*platform::x11::keycodeFromVirtualKey(found->second.code),
                     shifted ? std::vector<unsigned>{test::Keycode::shift} : std::vector<unsigned>{});
        }
        ASSERT_TRUE(field->waitForText("ab" + row.base + row.mark)) << row.name << ": " << field->text();
        user.tap(backspaceKeycode);
        // A key after the Backspace: once it shows, the field is done with the Backspace (GTK
        // deletes a whole cluster and types its first part again in two steps).
        user.lockGroup(0);
        user.typeKeys("c");
        ASSERT_TRUE(DesktopSession::waitFor([&] { return field->text().ends_with("c"); }, 3)) << row.name;
        const bool takesBase = GetParam() == Toolkit::gtk && row.takesBaseInGtk;
        EXPECT_EQ(field->text(), (takesBase ? "ab" : "ab" + row.base) + "c")
            << row.name << " in " << toolkitName(GetParam());
    }
}

// Sentences of the typing benchmark's combining-mark runs, the wrong layout selected again before
// every word at a quick typist's pace: no word runs into the one before or keeps a stale mark.
TEST_P(CombiningMarksOnX11Test, SentencesOnLayoutsThatTypeMarks)
{
    constexpr int wordsPerRun = 40;
    for (const std::string name : {"en-ara", "ru-ara", "en-lyx", "hi"}) {
        const auto& run = *std::ranges::find(languageRuns(), name, &LanguageRun::language);
        std::vector<std::string> layouts;
        for (std::size_t from = 0; from <= run.layouts.size();) {
            const std::size_t to = std::min(run.layouts.find(',', from), run.layouts.size());
            layouts.push_back(run.layouts.substr(from, to - from));
            from = to + 1;
        }
        ASSERT_TRUE(test::setLayouts(layouts)) << name;
        const auto keys = LayoutKeys::compile(run.layouts);
        ASSERT_TRUE(keys) << name;
        int skipped = 0;
        const auto sentences =
            joined(typeableSentences(KX_TEXTS_DIR "/" + run.textLanguage() + ".txt", *keys, run.groups, skipped),
                   run.sentencesPerLine);
        ASSERT_FALSE(sentences.empty()) << name;
        KestrelixProcess app;
        ASSERT_TRUE(app.ok()) << "kestrelix did not get ready\n" << app.log();
        Typist typist;
        ASSERT_TRUE(typist.ok());
        TextTarget target(GetParam() == Toolkit::qt ? TargetKind::qt : TargetKind::gtk);
        ASSERT_TRUE(target.ok()) << name;
        const CellResult cell = typeCell(typist, target, sentences, run.groups,
                                         {.pattern = Pattern::everyWord, .paceMs = 60, .words = wordsPerRun});
        EXPECT_EQ(cell.failure, "") << name;
        // Letters of overlapping keys landing out of order are the hold's concern; here a word
        // must neither lose the space before it nor keep a mark of the stale text.
        std::string damage;
        int broken = 0;
        for (const auto& line : cell.damage) {
            damage += "  " + line + "\n";
            const auto split = line.find("' => '");
            const std::string meant = line.substr(1, split - 1);
            const std::string field = line.substr(split + 6, line.size() - split - 7);
            broken += lostSpaceOrKeptMark(meant, field) ? 1 : 0;
        }
        std::cout << name << " in " << toolkitName(GetParam()) << ": " << cell.tally.words << " words, "
                  << cell.tally.meant << " as meant, " << cell.tally.damaged << " damaged\n"
                  << damage;
        EXPECT_EQ(broken, 0) << name << " in " << toolkitName(GetParam()) << ": damaged sentences (meant => field):\n"
                             << damage << app.log();
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, CombiningMarksOnX11Test, ::testing::Values(Toolkit::qt, Toolkit::gtk),
                         [](const auto& info) { return toolkitName(info.param); });

}  // namespace
}  // namespace kx::bench
