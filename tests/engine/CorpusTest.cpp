#include "engine/Corpus.h"

#include "engine/FrequencyOracle.h"
#include "platform/HeadlessInputSources.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kx {
namespace {

namespace fs = std::filesystem;

std::string corpusOutput(const std::string& layouts)
{
    platform::HeadlessInputSources sources(layouts, "");
    std::ostringstream out;
    Corpus::run(out, sources, 1);
    return out.str();
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Lists of its own in a temporary resource folder; the first 20 lines of each are skipped.
class CorpusWithLists : public ::testing::Test {
protected:
    void SetUp() override { FrequencyOracle::setResourceBundle(m_folder); }
    void TearDown() override { FrequencyOracle::setResourceBundle(KX_SOURCE_RESOURCE_DIR); }
    void writeList(const std::string& language, const std::vector<std::string>& words)
    {
        std::ofstream file(m_folder / ("freq-" + language + ".txt"));
        for (int i = 0; i < 20; ++i)
            file << "skipped\n";
        for (const std::string& word : words)
            file << word << "\n";
    }

    const test::TempFolder m_lists{"kx-corpus"};
    const fs::path m_folder = m_lists.path();
};

// With one layout there is nothing to compare.
TEST(Corpus, needsTwoLayouts)
{
    FrequencyOracle::setResourceBundle(KX_SOURCE_RESOURCE_DIR);
    EXPECT_EQ(corpusOutput("us"), "mode: thorough\nneed 2+ layouts\n");
}

// The scale is the first whole number on the command line, sign allowed, else 1.
TEST(Corpus, scaleComesFromTheFirstNumber)
{
    EXPECT_EQ(Corpus::scale({"kestrelix", "--corpus", "3"}), 3);
    EXPECT_EQ(Corpus::scale({"kestrelix", "--corpus"}), 1);
    EXPECT_EQ(Corpus::scale({"7", "--corpus", "3"}), 7);
    EXPECT_EQ(Corpus::scale({"3x", "+2"}), 2);
    EXPECT_EQ(Corpus::scale({"-4"}), -4);
    EXPECT_EQ(Corpus::scale({"+-4", "++4", "+"}), 1);
}

// The cases and their groups: short meant words are only checked as typed correctly, and a word
// its keys type alike on the English layout makes no case.
TEST_F(CorpusWithLists, buildsCasesPerGroup)
{
    writeList("he", {"שלום", "בבקשה"});
    writeList("de", {"hallo", "zeit"});
    writeList("en", {"hello", "crazy"});
    platform::HeadlessInputSources sources("us,il,de", "");
    LayoutRegistry registry(sources);
    registry.refresh();
    std::vector<std::string> cases;
    for (const Corpus::Case& c : Corpus::build(registry, 1))
        cases.push_back(c.group + ": " + c.typed + " (" + c.note + ")");
    const std::vector<std::string> expected{
        "he typed correctly: שלום (genuine he)",
        "he typed on ABC: cceav (meant בבקשה)",
        "he typed correctly: בבקשה (genuine he)",
        "de typed correctly: zeit (genuine de)",
        "English typed correctly: hello (genuine English)",
        "English typed correctly: crazy (genuine English)",
        "English typed on he: יקךךם (meant hello)",
        "English typed on he: ברשזט (meant crazy)",
        "English typed on de: crayz (meant crazy)",
    };
    EXPECT_EQ(cases, expected);

    std::vector<std::string> runs;
    for (const Corpus::RunCase& c : Corpus::buildRuns(registry))
        runs.push_back(c.group + ": " + c.shown + " (" + c.note + ") " + c.expect.value_or("none"));
    const std::vector<std::string> expectedRuns{
        "he run of 2 on ABC: akuo cceav (שלום בבקשה) he",
        "genuine he run of 2: שלום בבקשה (correct) none",
        "de run of 2 on ABC: hallo yeit (hallo zeit) de",
        "genuine de run of 2: hallo zeit (correct) none",
    };
    EXPECT_EQ(runs, expectedRuns);
}

// A Devanagari letter and its vowel sign are typed key by key; a Greek word's tonos is typed with
// its dead key before the vowel, so the word is typed whole on the English layout too.
TEST_F(CorpusWithLists, typesSignsKeyByKeyAndAccentsWithTheirDeadKeys)
{
    writeList("hi", {"किताबें", "नमस्ते"});
    writeList("el", {"καλημέρα", "κεραια", "ζ1ω"});
    writeList("en", {});
    platform::HeadlessInputSources sources("us,in,gr", "");
    LayoutRegistry registry(sources);
    registry.refresh();
    std::vector<std::string> cases;
    for (const Corpus::Case& c : Corpus::build(registry, 1))
        cases.push_back(c.group + ": " + c.typed + " (" + c.note + ") " + std::to_string(c.keys.size()));
    const std::vector<std::string> expected{
        "hi typed on ABC: kfleysx (meant किताबें) 7",      "hi typed correctly: किताबें (genuine hi) 7",
        "hi typed on ABC: vcmdls (meant नमस्ते) 6",        "hi typed correctly: नमस्ते (genuine hi) 6",
        "el typed on ABC: kalhm;era (meant καλημέρα) 9", "el typed correctly: καλημέρα (genuine el) 9",
        "el typed on ABC: keraia (meant κεραια) 6",      "el typed correctly: κεραια (genuine el) 6",
    };
    EXPECT_EQ(cases, expected);

    std::vector<std::string> runs;
    for (const Corpus::RunCase& c : Corpus::buildRuns(registry))
        runs.push_back(c.group + ": " + c.shown + " (" + c.note + ")");
    const std::vector<std::string> expectedRuns{
        "hi run of 2 on ABC: kfleysx vcmdls (किताबें नमस्ते)",
        "genuine hi run of 2: किताबें नमस्ते (correct)",
        "el run of 2 on ABC: kalhm;era keraia (καλημέρα κεραια)",
        "genuine el run of 2: καλημέρα κεραια (correct)",
    };
    EXPECT_EQ(runs, expectedRuns);
}

// The word count is checked only after a word is taken, so a scale of 0 or less takes every word.
TEST_F(CorpusWithLists, scaleOfZeroOrLessTakesEveryWord)
{
    writeList("en", {"hello", "crazy", "world"});
    platform::HeadlessInputSources sources("us,il", "");
    LayoutRegistry registry(sources);
    registry.refresh();
    for (const int scale : {0, -1}) {
        std::vector<std::string> typedCorrectly;
        for (const Corpus::Case& c : Corpus::build(registry, scale)) {
            if (c.group == "English typed correctly")
                typedCorrectly.push_back(c.typed);
        }
        EXPECT_EQ(typedCorrectly, (std::vector<std::string>{"hello", "crazy", "world"})) << "scale " << scale;
    }
}

// The tables: header, rules, rows by group, totals, and wrong and missed cases past 12 summed up.
TEST_F(CorpusWithLists, printsTablesAndListsCases)
{
    // Russian words typed on the English layout, capitalised so the English list never ranks them.
    writeList("en", {"Ghbdtn", "Ujhjl", "Dhtvz", "Xtkjdtr", "Vtcnj", "Cnhfyf", "Djghjc", "Cnjhjyf", "Ljhjuf", "Ujkjdf",
                     "Ptvkz", "Gthdsq", "Yjdsq"});
    const std::vector<std::string> lines = linesOf(corpusOutput("us,ru"));
    ASSERT_EQ(lines.size(), 39u);
    const std::string rule = [] {
        std::string r;
        for (int i = 0; i < 60; ++i)
            r += "─";
        return r;
    }();
    const std::vector<std::string> head{
        "mode: thorough",
        "layouts: [\"English (US)[en]\", \"Russian[ru]\"]",
        "",
        "GROUP                              n   pass   missed   WRONG",
        rule,
        "English typed correctly           13     0%        0      13",
        "English typed on ru               13     0%       13       0",
        rule,
        "TOTAL                             26     0%       13      13",
        "",
        "▸ WRONG in English typed correctly  (13)",
        "    'Ghbdtn' → 'Привет'   [genuine English]",
    };
    EXPECT_EQ(std::vector(lines.begin(), lines.begin() + head.size()), head);
    EXPECT_EQ(lines[23], "    … 1 more");
    EXPECT_EQ(lines[24], "");
    EXPECT_EQ(lines[25], "▸ missed in English typed on ru  (13)");
    EXPECT_EQ(lines[26], "    'Привет' wanted 'Ghbdtn'");
    EXPECT_EQ(lines[38], "    … 1 more");
}

}  // namespace
}  // namespace kx
