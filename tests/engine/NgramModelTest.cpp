#include "engine/NgramModel.h"

#include "TempFolder.h"
#include "engine/FrequencyOracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace kx {
namespace {

namespace fs = std::filesystem;

// The cache lives for the whole process, so each test uses language keys of its own ("q?", "z?").
class NgramModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        lists() = std::make_unique<test::TempFolder>("kx-ngram-lists");
        folder() = lists()->path();
        FrequencyOracle::setResourceBundle(folder());
        NgramModel::setDefaults(&defaults());
    }
    static void TearDownTestSuite()
    {
        NgramModel::setDefaults(nullptr);
        FrequencyOracle::setResourceBundle(std::nullopt);
        lists().reset();
    }
    void SetUp() override { defaults().remove("kestrelix.ngramOff"); }

    static std::unique_ptr<test::TempFolder>& lists()
    {
        static std::unique_ptr<test::TempFolder> lists;
        return lists;
    }
    static fs::path& folder()
    {
        static fs::path path;
        return path;
    }
    static MemoryDefaults& defaults()
    {
        static MemoryDefaults settings;
        return settings;
    }
    static void writeList(const std::string& language, const std::string& contents)
    {
        std::ofstream(folder() / ("freq-" + language + ".txt"), std::ios::binary) << contents;
    }
    // One line per letter a-z and A-Z: 52 letters plus the two markers.
    static std::string fiftyTwoLetters()
    {
        std::string lines;
        for (char c = 'a'; c <= 'z'; ++c)
            lines += std::string(1, c) + "\n" + std::string(1, static_cast<char>(c - 'a' + 'A')) + "\n";
        return lines;
    }
};

// Familiar trigrams score near zero, unseen letters -ln(alphabet) per step, the empty word -9.
TEST_F(NgramModelTest, scoresByMeanTrigramLogProbability)
{
    writeList("qa", "cat\ncat\ncat\ncat\ncat\ncat\ncat\ncat\ncat\ncat\n");
    const auto model = NgramModel::build("qa", folder());
    ASSERT_TRUE(model);
    // Characters ^ c a t $: alphabet 5, each step ln(10.1 / 10.5).
    EXPECT_NEAR(model->score("cat"), std::log(10.1 / 10.5), 1e-12);
    EXPECT_NEAR(model->score("CAT"), std::log(10.1 / 10.5), 1e-12);
    EXPECT_NEAR(model->score("xyz"), -std::log(5.0), 1e-12);
    // One character: three marked characters, one step.
    EXPECT_NEAR(model->score("q"), -std::log(5.0), 1e-12);
    EXPECT_EQ(model->score(""), -9.0);
}

// Lines are learnt as written: capitals in the list are their own characters.
TEST_F(NgramModelTest, learnsLinesAsWritten)
{
    writeList("qb", "  Cat\t\n\ncat\n");
    const auto model = NgramModel::build("qb", folder());
    ASSERT_TRUE(model);
    // Characters ^ C a t $ c: alphabet 6. "at$" follows both lines; "^ca" only the lower-case one.
    EXPECT_NEAR(model->score("c"), std::log(0.1 / 1.6), 1e-12);
    const double cat = (std::log(1.1 / 1.6) * 2 + std::log(2.1 / 2.6)) / 3;
    EXPECT_NEAR(model->score("cat"), cat, 1e-12);
    EXPECT_NEAR(model->score("Cat"), cat, 1e-12);
}

// No folder, no list, or a list of blank lines gives no model.
TEST_F(NgramModelTest, failsWithoutUsableLines)
{
    writeList("qc", "\n  \n\t\n");
    EXPECT_FALSE(NgramModel::build("qc", folder()));
    EXPECT_FALSE(NgramModel::build("qd", folder()));
    EXPECT_FALSE(NgramModel::build("qa", std::nullopt));
}

// Junk means a score strictly below -4: -ln 54 is not junk, -ln 55 is.
TEST_F(NgramModelTest, judgesJunkStrictlyBelowTheThreshold)
{
    writeList("qe", fiftyTwoLetters());
    writeList("qf", fiftyTwoLetters() + "0\n");
    const std::string unseen = "\u03B1\u03B2\u03B3";
    ASSERT_NEAR(NgramModel::model("qe")->score(unseen), -std::log(54.0), 1e-12);
    ASSERT_NEAR(NgramModel::model("qf")->score(unseen), -std::log(55.0), 1e-12);
    EXPECT_FALSE(NgramModel::looksLikeJunk(unseen, "qe"));
    EXPECT_TRUE(NgramModel::looksLikeJunk(unseen, "qf"));
    // Two characters are never junk, whatever they score.
    EXPECT_FALSE(NgramModel::looksLikeJunk("\u03B1\u03B2", "qf"));
    // Nor is anything in a language without a model.
    EXPECT_FALSE(NgramModel::looksLikeJunk(unseen, "qg"));
}

// The setting is read at every call and only a Boolean true turns the model off.
TEST_F(NgramModelTest, honoursTheOffSettingAtEveryCall)
{
    writeList("qh", fiftyTwoLetters() + "0\n");
    const std::string unseen = "\u03B1\u03B2\u03B3";
    defaults().set("kestrelix.ngramOff", true);
    EXPECT_FALSE(NgramModel::looksLikeJunk(unseen, "qh"));
    defaults().set("kestrelix.ngramOff", std::string("true"));
    EXPECT_TRUE(NgramModel::looksLikeJunk(unseen, "qh"));
    defaults().set("kestrelix.ngramOff", false);
    EXPECT_TRUE(NgramModel::looksLikeJunk(unseen, "qh"));
}

// Codes sharing a key share one model; a failed build stays failed even once the list appears.
TEST_F(NgramModelTest, cachesModelsAndFailuresByKey)
{
    writeList("qi", "cat\n");
    const auto model = NgramModel::model("qi");
    ASSERT_TRUE(model);
    EXPECT_EQ(NgramModel::model("QI"), model);
    EXPECT_EQ(NgramModel::model("qi_IL"), model);
    EXPECT_FALSE(NgramModel::model("qj"));
    writeList("qj", "cat\n");
    EXPECT_FALSE(NgramModel::model("qj"));
}

// Threads asking for the same languages at once all get the one model built for each.
TEST_F(NgramModelTest, buildsOnceUnderConcurrentRequests)
{
    const std::vector<std::string> keys = {"za", "zb", "zc", "zd"};
    for (const std::string& key : keys)
        writeList(key, fiftyTwoLetters() + "cat\ndog\n");
    constexpr int threadCount = 8;
    std::vector<std::vector<std::shared_ptr<const NgramModel>>> seen(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 4; ++round) {
                for (const std::string& key : keys)
                    seen[t].push_back(NgramModel::model(round % 2 ? key : key + "_XX"));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < threadCount; ++t) {
        for (std::size_t i = 0; i < seen[t].size(); ++i) {
            ASSERT_TRUE(seen[t][i]);
            EXPECT_EQ(seen[t][i], seen[0][i % keys.size()]);
        }
    }
}

// The shipped Hebrew list tells a real word from English typed on the Hebrew layout.
TEST(NgramModelShippedListTest, separatesHebrewWordsFromLayoutMistakes)
{
    const auto model = NgramModel::build("he", fs::path(KX_SOURCE_RESOURCE_DIR));
    ASSERT_TRUE(model);
    for (const std::string word : {"\u05E9\u05DC\u05D5\u05DD", "\u05DE\u05D7\u05E9\u05D1", "\u05D1\u05D9\u05EA"})
        EXPECT_GE(model->score(word), -4.0) << word;
    // "hello" typed on the Hebrew layout: a final letter inside the word.
    EXPECT_LT(model->score("\u05D9\u05E7\u05DA\u05DA\u05DD"), -4.0);
}

}  // namespace
}  // namespace kx
