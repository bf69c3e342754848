#include "engine/DecisionEngine.h"

#include "engine/FrequencyOracle.h"
#include "engine/SystemSpellOracle.h"
#include "engine/TranslationEngine.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace kx {
namespace {

// Fixed answers: the spell checker accepts `words`, a language in `ranks` has a list.
class FakeOracle final : public LanguageOracle {
public:
    std::set<std::string> checkable{"en", "he", "ru", "hi", "el"};
    std::set<std::string> reliable{"en", "he", "ru", "el"};
    std::map<std::string, std::set<std::string>> words;
    std::map<std::string, std::map<std::string, int>> ranks;

    bool canCheck(const std::string& language) override { return checkable.contains(language); }
    bool isMisspelled(const std::string& word, const std::string& language) override
    {
        return !frequency(word, language).isRanked() && !words[language].contains(word);
    }
    bool isReliable(const std::string& language) override { return reliable.contains(language); }
    void warmUp(const std::vector<std::string>&) override {}
    Frequency frequency(const std::string& word, const std::string& language) override
    {
        const auto list = ranks.find(language);
        if (list == ranks.end())
            return Frequency::noList();
        const auto rank = list->second.find(text::lowercased(word));
        return rank == list->second.end() ? Frequency::absent() : Frequency::ranked(rank->second);
    }
};

KeyboardLayoutInfo layout(const std::string& name, const std::string& xkb, const std::string& language)
{
    return {"xkb:" + xkb, name, {language}, platform::KeyTable::forLayout(xkb), {xkb, "", 0}};
}

const KeyboardLayoutInfo us = layout("English (US)", "us", "en");
const KeyboardLayoutInfo il = layout("Hebrew", "il", "he");
const KeyboardLayoutInfo ru = layout("Russian", "ru", "ru");
const KeyboardLayoutInfo ara = layout("Arabic", "ara", "ar");
const KeyboardLayoutInfo hindi = layout("Indian", "in", "hi");
const KeyboardLayoutInfo gr = layout("Greek", "gr", "el");

// The keys that type text on the layout.
std::vector<KeyStroke> keysOf(const std::string& text, const KeyboardLayoutInfo& on)
{
    const auto inverse = TranslationEngine::inverseMap(on.layoutData);
    std::vector<KeyStroke> keys;
    for (const std::string& c : text::characters(text)) {
        if (inverse.contains(c)) {
            keys.push_back(inverse.at(c));
            continue;
        }
        // A Devanagari letter and its signs share a character but not a key.
        for (const char32_t scalar : text::toScalars(c))
            keys.push_back(inverse.at(text::fromScalar(scalar)));
    }
    return keys;
}

std::string decided(const std::string& typed, const KeyboardLayoutInfo& current, std::vector<KeyboardLayoutInfo> others,
                    LanguageOracle& oracle)
{
    const auto decision = DecisionEngine::decide(keysOf(typed, current), current, others, oracle);
    return decision ? decision->corrected + " @" + decision->target.language() : "none";
}

std::vector<DecisionEngine::RunWord> run(const std::vector<std::string>& typed, const KeyboardLayoutInfo& on)
{
    std::vector<DecisionEngine::RunWord> words;
    for (const std::string& t : typed)
        words.push_back({keysOf(t, on), t});
    return words;
}

// Which texts can be words, be judged, and what trails them.
TEST(DecisionTokens, classifyTextAsTheRulesSay)
{
    EXPECT_TRUE(DecisionEngine::acceptableToken("don't"));
    EXPECT_TRUE(DecisionEngine::acceptableToken("well-known"));
    EXPECT_FALSE(DecisionEngine::acceptableToken("wo\"rd"));
    EXPECT_TRUE(DecisionEngine::acceptableToken("צה״ל"));
    EXPECT_FALSE(DecisionEngine::acceptableToken("iPhone"));
    EXPECT_FALSE(DecisionEngine::acceptableToken("NASA"));
    EXPECT_FALSE(DecisionEngine::acceptableToken("a1b"));
    EXPECT_FALSE(DecisionEngine::acceptableToken(std::string(25, 'a')));
    EXPECT_TRUE(DecisionEngine::acceptableAsTyped("a,v"));
    EXPECT_TRUE(DecisionEngine::acceptableAsTyped("hEllo"));
    EXPECT_FALSE(DecisionEngine::acceptableAsTyped("he llo"));
    EXPECT_FALSE(DecisionEngine::acceptableAsTyped("HELLO"));
    // One capital before caseless letters, as Shift types it on the Hebrew layout, is no acronym.
    EXPECT_TRUE(DecisionEngine::acceptableAsTyped("Tיןד"));
    EXPECT_EQ(DecisionEngine::strippingTrailingPunctuation("word)."), "word");
    EXPECT_EQ(DecisionEngine::strippingTrailingPunctuation("?!\u201D"), "");
    EXPECT_EQ(DecisionEngine::strippingTrailingPunctuation("(word"), "(word");
    EXPECT_TRUE(DecisionEngine::isAcronymShaped("a\"b"));
    EXPECT_FALSE(DecisionEngine::isAcronymShaped("a\"'"));
    EXPECT_EQ(DecisionEngine::closingMarks().size(), 17u);
    EXPECT_EQ(DecisionEngine::strippingTrailingPunctuation("شيء،"), "شيء");
    EXPECT_EQ(DecisionEngine::commonShort().at(Script::latin).size(), 28u);
    EXPECT_EQ(DecisionEngine::commonShort().at(Script::hebrew).size(), 51u);
}

// The Hebrew shape tests: stray geresh marks and final forms inside a word.
TEST(DecisionTokens, hebrewShapes)
{
    EXPECT_TRUE(DecisionEngine::hasStrayGeresh("׳אב"));
    EXPECT_TRUE(DecisionEngine::hasStrayGeresh("אב'ג"));
    EXPECT_FALSE(DecisionEngine::hasStrayGeresh("ג׳ק"));
    EXPECT_FALSE(DecisionEngine::hasStrayGeresh("אב׳"));
    EXPECT_FALSE(DecisionEngine::hasFinalLetterMidWord("שלום."));
    EXPECT_TRUE(DecisionEngine::hasFinalLetterMidWord("םלש"));
}

// Hebrew joined by a double geresh or a geresh sign, as abbreviations and quoted words are
// written; the apostrophe is also w, ц and ص on the same key, so it joins nothing.
TEST(DecisionTokens, hebrewJoinedByGeresh)
{
    struct Row {
        const char* text;
        bool joined;
    };
    const Row rows[] = {
        {"ע\"ד", true},  {"צה\"ל.", true},    {"ה\"סטרא", true},  {"צה״ל", true},   {"ג׳ינס", true},
        {"מס׳", true},   {"\"שלום\"", false}, {"אחרא\".", false}, {"ג'ינס", false}, {"מק'", false},
        {"שלום", false}, {"ל\"س", false},     {"a\"b", false},    {"\"ע", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DecisionEngine::isHebrewJoinedByGeresh(row.text), row.joined) << row.text;
}

// Devanagari typed by mistake: vowel signs and viramas are keys and letters of their own, whether
// they join the letter before them or stand first with nothing to join.
TEST(DecisionTokens, devanagariMarksCountAsTyped)
{
    struct Row {
        const char* text;
        bool token;
        bool asTyped;
    };
    const Row rows[] = {
        {"नमस्ते", true, true},   // a word: marks after letters
        {"ैपगमप", false, true},  // which: a vowel sign first
        {"्हीगलु", false, true},  // during: a virama first
        {"ोिूाी", false, true},  // after: five marks, one grapheme cluster, five characters
        {"ो", false, false},    // one mark alone is one character
        {"बाोीे", true, true},   // years: one letter, four vowel signs, four characters
        {"में", false, false},    // a bindu sits with the vowel sign: one character
        {"क़ि", false, false},   // a vowel sign after a nukta: one character
        {"कि्", true, true},     // a virama after the vowel sign stands alone
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DecisionEngine::acceptableToken(row.text), row.token) << row.text;
        EXPECT_EQ(DecisionEngine::acceptableAsTyped(row.text), row.asTyped) << row.text;
    }
    std::string marks;
    for (int i = 0; i < 24; ++i)
        marks += "ा";
    EXPECT_TRUE(DecisionEngine::acceptableAsTyped(marks));
    EXPECT_FALSE(DecisionEngine::acceptableAsTyped(marks + "ा"));  // 25 characters
}

// English typed on the Hindi layout converts like English typed on the Hebrew layout, also when
// Hindi's spell checker takes the typed text for a word.
TEST(DecideWord, englishTypedOnHindi)
{
    FakeOracle oracle;
    oracle.words["en"] = {"hello", "which", "during", "after", "there", "years", "word"};
    oracle.words["hi"] = {"ैपगमप", "ोिूाी", "नमस्ते"};
    oracle.ranks["he"] = {};
    struct Row {
        const char* meant;
        const char* expected;
    };
    const Row rows[] = {
        {"hello", "hello @en"},    // पाततद: 5 letters in 4 characters
        {"which", "which @en"},    // ैपगमप, accepted by the checker, begins with a vowel sign
        {"during", "during @en"},  // ्हीगलु: 4 characters, a virama first
        {"after", "after @en"},    // ोिूाी: marks only, accepted by the checker
        {"there", "there @en"},    // ूपाीा: 2 characters
        {"years", "years @en"},    // बाोीे: one grapheme cluster
        {"word", "none"},          // ैदीग: 4 letters, no key typed a mark here
    };
    for (const Row& row : rows) {
        const auto keys = keysOf(row.meant, us);
        const auto decision = DecisionEngine::decide(keys, hindi, std::vector{us, il}, oracle);
        EXPECT_EQ(decision ? decision->corrected + " @" + decision->target.language() : "none", row.expected)
            << row.meant;
    }
    // A Hindi word the checker knows stays as typed.
    EXPECT_EQ(decided("नमस्ते", hindi, {us}, oracle), "none");
}

// Typed text that is not a plain word, or is a real word, is never converted.
TEST(DecideWord, leavesTypedWordsAlone)
{
    FakeOracle oracle;
    oracle.ranks["en"] = {{"do", 40}};
    oracle.ranks["he"] = {{"בבקשה", 103}, {"בב1שה", 1}, {"בבקשהץ", 1}, {"גץ", 1}, {"גםת", 1}};
    oracle.words["en"] = {"cceav"};
    struct Row {
        const char* typed;
        const char* expected;
    } rows[] = {
        {"cceav", "none"},   // a real word as typed
        {"cceav.", "none"},  // a real word before a full stop
        {"CCEAV", "none"},   // all capitals
        {"cc1av", "none"},   // a digit
        {"d.", "none"},      // one letter
        {"do,", "none"},     // its stripped form is ranked
    };
    for (const Row& row : rows)
        EXPECT_EQ(decided(row.typed, us, {il}, oracle), row.expected) << row.typed;
    oracle.words["en"].clear();
    EXPECT_EQ(decided("cceav", us, {il}, oracle), "בבקשה @he");
    oracle.checkable.erase("en");
    EXPECT_EQ(decided("cceav", us, {il}, oracle), "none");
}

// A short stripped form counts by its rank when its language has a list, by the common words otherwise.
TEST(DecideWord, shortStrippedFormsStayByRankOrCommonWords)
{
    FakeOracle oracle;
    oracle.ranks["he"] = {{"גםת", 1}, {"דחת", 1}};
    oracle.ranks["en"] = {{"the", 1}};
    EXPECT_EQ(decided("do,", us, {il}, oracle), "גםת @he");  // listed language lacks "do"
    oracle.ranks.erase("en");
    EXPECT_EQ(decided("do,", us, {il}, oracle), "none");  // no list: a common short word
    EXPECT_EQ(decided("sj,", us, {il}, oracle), "דחת @he");
}

// What makes another layout's text a candidate.
TEST(DecideWord, candidatesMustBeRealWordsOfTheTarget)
{
    FakeOracle oracle;
    oracle.ranks["he"] = {};
    oracle.words["he"] = {"בבקשה", "אתה", "צה\"ל"};
    EXPECT_EQ(decided("cceav", us, {il}, oracle), "none");       // Hebrew needs a rank
    EXPECT_EQ(decided("t,v", us, {il}, oracle), "אתה @he");      // unless a typed mark is a Hebrew letter
    EXPECT_EQ(decided("mv\"k", us, {il}, oracle), "צה\"ל @he");  // or it is an acronym
    oracle.ranks["he"]["בבקשה"] = 103;
    EXPECT_EQ(decided("cceav", us, {il}, oracle), "בבקשה @he");
    oracle.reliable.erase("he");
    EXPECT_EQ(decided("cceav", us, {il}, oracle), "none");
}

// Two layouts making words: only a rank more than 4 times smaller than the next wins.
TEST(DecideWord, competingLayoutsNeedAClearWinner)
{
    struct Row {
        int hebrew, russian;  // 0: not ranked
        const char* expected;
    } rows[] = {
        {100, 400, "none"}, {100, 401, "עינגאמ @he"}, {401, 100, "привет @ru"},
        {100, 100, "none"}, {100, 0, "עינגאמ @he"},
    };
    for (const Row& row : rows) {
        FakeOracle oracle;
        oracle.ranks["he"] = {};
        oracle.ranks["ru"] = {};
        oracle.words["ru"] = {"привет"};
        if (row.hebrew)
            oracle.ranks["he"]["עינגאמ"] = row.hebrew;
        if (row.russian)
            oracle.ranks["ru"]["привет"] = row.russian;
        EXPECT_EQ(decided("ghbdtn", us, {il, ru}, oracle), row.expected) << row.hebrew << "/" << row.russian;
    }
}

// Ranks are looked up without the marks around the word: a comma, a full stop or a quote typed
// with the word neither drops its own layout from the choice nor hands the word to a rarer one.
TEST(DecideWord, marksAroundTheWordDoNotHideItsRank)
{
    FakeOracle oracle;
    oracle.ranks["en"] = {{"fact", 662}};
    oracle.words["en"] = {"fact,"};
    oracle.ranks["he"] = {{"כשבאת", 14101}, {"אחר", 133}};
    oracle.ranks["ar"] = {};
    oracle.words["ar"] = {"فتقظ"};
    oracle.ranks["ru"] = {{"эфлгщф", 500}};
    oracle.checkable.insert("ar");
    oracle.reliable.insert("ar");
    EXPECT_EQ(decided("афсеб", ru, {us, il}, oracle), "fact, @en");  // the comma key is a Hebrew letter
    // The Hebrew word before its full stop outranks the Arabic one the full-stop key makes, and
    // being short it stays.
    EXPECT_EQ(decided("tjr/", us, {il, ara}, oracle), "none");
    EXPECT_EQ(decided("\"akuoa", us, {il, ru}, oracle), "Эфлгщф @ru");  // no Hebrew word after the quote
    oracle.ranks["he"]["שלוםש"] = 100;
    EXPECT_EQ(decided("\"akuoa", us, {il, ru}, oracle), "\"שלוםש @he");
}

// A Hebrew word typed right and closed by a quote and a mark stays, though on the Arabic layout the
// closing keys read as a quote before a last letter, the shape of an acronym.
TEST(DecideWord, closingQuoteIsNoAcronymElsewhere)
{
    FakeOracle oracle;
    oracle.checkable.insert("ar");
    oracle.reliable.insert("ar");
    oracle.ranks["ar"] = {};
    oracle.ranks["he"] = {};
    oracle.words["ar"] = {"سعفن\"ظ", "سعفن\"ط", "وخ\"ظ"};
    EXPECT_EQ(decided("דואל\".", il, {ara}, oracle), "none");
    EXPECT_EQ(decided("דואל\",", il, {ara}, oracle), "none");
    EXPECT_EQ(decided("תם\".", il, {ara}, oracle), "none");
    // A quote before the last letter as typed is still an acronym's.
    oracle.words["he"] = {"צה\"ל"};
    EXPECT_EQ(decided("mv\"k", us, {il}, oracle), "צה\"ל @he");
}

// Where several layouts make words, the ranked word of the layout the user just left wins, however
// the lists rank the others; without one of its own the ranks decide.
TEST(DecideWord, theLayoutJustLeftWinsCompetingWords)
{
    FakeOracle oracle;
    oracle.checkable.insert("ar");
    oracle.reliable.insert("ar");
    oracle.ranks["he"] = {{"אתר", 3830}};
    oracle.ranks["ar"] = {{"فوق", 539}};
    oracle.ranks["ru"] = {};
    const auto decide = [&](const std::string& previous) {
        const auto decision = DecisionEngine::decide(keysOf("t,r", us), us, std::vector{ru, il, ara}, oracle, previous);
        return decision ? decision->corrected : "none";
    };
    EXPECT_EQ(decide(""), "فوق");
    EXPECT_EQ(decide(il.id), "אתר");
    EXPECT_EQ(decide(ara.id), "فوق");
    EXPECT_EQ(decide(ru.id), "فوق");  // no word of its own
    oracle.ranks["he"].clear();
    EXPECT_EQ(decide(il.id), "فوق");
}

// Words of 4 letters or fewer convert only when a key typed a mark here and a letter there.
TEST(DecideWord, shortWordsNeedAForeignLetterKey)
{
    FakeOracle oracle;
    oracle.ranks["he"] = {{"שלום", 232}, {"בבקשה", 103}, {"שבת", 300}};
    EXPECT_EQ(decided("akuo", us, {il}, oracle), "none");
    EXPECT_EQ(decided("cceav", us, {il}, oracle), "בבקשה @he");
    EXPECT_EQ(decided("ac,", us, {il}, oracle), "שבת @he");
}

// Marks in front of a word are judged by the word after them and go over with it when they are
// marks on the target too; a word real with its marks, or inside them, stays.
TEST(DecideWord, marksInFrontGoOverWithTheWord)
{
    FakeOracle oracle;
    oracle.ranks["he"] = {{"בבקשה", 103}, {"שלום", 232}};
    oracle.ranks["en"] = {};
    oracle.words["en"] = {"hello", "'cceav"};
    struct Row {
        const char* typed;
        const char* expected;
    } rows[] = {
        {")cceav", "(בבקשה @he"},      // the Hebrew layout's "(" is the U.S. layout's ")"
        {"\"(cceav", "\")בבקשה @he"},  // two marks
        {")hello", "none"},            // real inside its marks
        {"'cceav", "none"},            // real with its marks
        {".cceav", "none"},            // "." is a Hebrew letter: not a mark there
        {")akuo", "none"},             // a short word still needs a foreign letter key
        {")(", "none"},                // marks only
    };
    for (const Row& row : rows)
        EXPECT_EQ(decided(row.typed, us, {il}, oracle), row.expected) << row.typed;

    const std::vector<KeyboardLayoutInfo> others{il};
    const auto decision = DecisionEngine::decide(keysOf(")cceav", us), us, others, oracle);
    ASSERT_TRUE(decision);
    EXPECT_EQ(decision->original, ")cceav");
}

// A quote meant before a word can be a letter where it was typed: the Russian layout types "Э"
// with the key of the U.S. quotation mark. The word after it decides; the whole word counts its
// letters as typed for the short-word test.
TEST(DecideWord, quoteMeantBeforeTheWordMayBeALetterHere)
{
    FakeOracle oracle;
    oracle.words["en"] = {"Tell", "the", "Hello"};
    oracle.words["ru"] = {"Эхо"};
    struct Row {
        const char* typed;
        const char* expected;
    } rows[] = {
        {"ЭЕудд", "\"Tell @en"},    // 5 letters typed
        {"ЭРуддщ", "\"Hello @en"},  //
        {"Эеру", "none"},           // 4 letters typed, and no key typed a mark here
        {"Эхо", "none"},            // a word as typed
    };
    for (const Row& row : rows)
        EXPECT_EQ(decided(row.typed, ru, {us, il}, oracle), row.expected) << row.typed;
}

// The wrapper keys around a word, case-only differences and the current language's say.
TEST(RetroConvertible, judgesTheWordAsTheRulesSay)
{
    FakeOracle oracle;
    oracle.ranks["he"] = {{"שלום", 232}, {"מה", 5}};
    oracle.ranks["en"] = {};
    oracle.words["en"] = {"akuo"};
    const auto convert = [&](const std::string& typed, std::optional<std::string> language) {
        return DecisionEngine::retroConvertible(keysOf(typed, us), typed, us, il, oracle, language).value_or("none");
    };
    EXPECT_EQ(convert("\"akuo\"", std::nullopt), "\"שלום\"");
    EXPECT_EQ(convert("\"\"", std::nullopt), "none");
    EXPECT_EQ(convert("akuo", std::nullopt), "שלום");
    EXPECT_EQ(convert("akuo", "en"), "none");           // genuine where it was typed
    EXPECT_EQ(convert("nv", std::nullopt), "מה");       // ranked short word
    EXPECT_EQ(convert("bh", std::nullopt), "none");     // absent short word
    EXPECT_EQ(convert("bh", "en"), "ני");               // any token when reaching back
    EXPECT_EQ(convert("cceav", std::nullopt), "none");  // not confirmed on the target
    EXPECT_EQ(convert("cceav", "en"), "בבקשה");         // but the typed word is a misspelling

    const auto lower = platform::KeyTable::fromEntries({{0, 0, "a"}, {1, 0, "b"}, {2, 0, "c"}});
    const auto upper = platform::KeyTable::fromEntries({{0, 0, "A"}, {1, 0, "B"}, {2, 0, "C"}});
    const KeyboardLayoutInfo small{"small", "small", {"en"}, lower, {}};
    const KeyboardLayoutInfo capital{"capital", "capital", {"en"}, upper, {}};
    const std::vector<KeyStroke> keys{{0, 0}, {1, 0}, {2, 0}};
    EXPECT_FALSE(DecisionEngine::retroConvertible(keys, "abc", small, capital, oracle, std::nullopt));
}

// A typed word is genuine only in its script, shape and, for Hebrew, the common short words.
TEST(GenuineAsTyped, followsScriptAndShape)
{
    FakeOracle oracle;
    oracle.ranks["he"] = {{"דג", 900}, {"שלום", 232}};
    oracle.words["he"] = {"םלש"};
    oracle.words["en"] = {"hello"};
    EXPECT_FALSE(DecisionEngine::genuineAsTyped("דג", "he", oracle));
    EXPECT_TRUE(DecisionEngine::genuineAsTyped("של", "he", oracle));
    EXPECT_FALSE(DecisionEngine::genuineAsTyped("םלש", "he", oracle));
    EXPECT_TRUE(DecisionEngine::genuineAsTyped("שלום,", "he", oracle));
    EXPECT_TRUE(DecisionEngine::genuineAsTyped("hello.", "en", oracle));
    EXPECT_FALSE(DecisionEngine::genuineAsTyped("hello", "he", oracle));
}

// Short Hindi words typed right: their keys make English words the English list ranks, so only
// the common short words keep a run of them, and a reach-back over them, from taking them for
// English typed on the Hindi layout.
TEST(HindiTypedRight, shortWordsStayInRunsAndReachBacks)
{
    FakeOracle oracle;
    oracle.ranks["en"] = {{"ms", 900}, {"fm", 901}, {"eh", 902}, {"pa", 903}, {"up", 50}};
    oracle.words["en"] = {"huns"};
    oracle.ranks["hi"] = {{"से", 8}, {"आप", 16}, {"पहले", 52}, {"इस", 62}, {"जो", 118}};
    oracle.words["hi"] = {"पहले"};
    const auto decideRun = [&](const std::vector<std::string>& typed) {
        return DecisionEngine::decideRun(run(typed, hindi), hindi, std::vector{us}, oracle).has_value();
    };
    EXPECT_FALSE(decideRun({"से", "पहले", "इस"}));  // ms huns Fm
    EXPECT_FALSE(decideRun({"जो", "आप", "इस"}));  // pa Eh Fm
    // A short word that is no common word, as English typed there is, still makes a run.
    EXPECT_TRUE(decideRun({"हज", "हज", "हज"}));  // up up up

    for (const char* word : {"इस", "से", "आप", "जो", "क्या", "नहीं"})
        EXPECT_TRUE(DecisionEngine::genuineAsTyped(word, "hi", oracle)) << word;
    EXPECT_FALSE(DecisionEngine::genuineAsTyped("हज", "hi", oracle));
    EXPECT_EQ(DecisionEngine::retroConvertible(keysOf("इस", hindi), "इस", hindi, us, oracle, "hi"), std::nullopt);
    EXPECT_EQ(DecisionEngine::retroConvertible(keysOf("हज", hindi), "हज", hindi, us, oracle, "hi"), "up");
}

// A Hindi word of five keys can make an English word of three letters, the keys of its consonants
// typing marks inside it: it is as short as that word, and stays. A conversion that only ends in a
// mark keeps the mark's key in its count.
TEST(HindiTypedRight, wordsShortOnTheOtherLayoutStay)
{
    FakeOracle oracle;
    oracle.words["en"] = {"md's'", "tabs?", "state", "don't"};
    oracle.ranks["hi"] = {};
    oracle.ranks["he"] = {};
    EXPECT_EQ(decided("स्टेट", hindi, {us}, oracle), "none");  // md's'
    const auto typedOn = [&](const std::string& meant, const KeyboardLayoutInfo& current) {
        const auto decision = DecisionEngine::decide(keysOf(meant, us), current, std::vector{us}, oracle);
        return decision ? decision->corrected : "none";
    };
    EXPECT_EQ(typedOn("tabs?", hindi), "tabs?");
    EXPECT_EQ(typedOn("state", hindi), "state");
    // Typed in another script, the typed letters alone count: вщтэе has five.
    EXPECT_EQ(typedOn("don't", ru), "don't");
}

// The run rules: 5 characters at least, fewer genuine words than half, exactly one layout.
TEST(DecideRun, needsContextAndOneLayout)
{
    FakeOracle oracle;
    oracle.ranks["he"] = {{"מה", 5}, {"שלום", 232}, {"שמש", 900}, {"ביצה", 901}, {"ראש", 902}};
    oracle.ranks["en"] = {};
    const auto decideRun = [&](const std::vector<std::string>& typed, std::vector<KeyboardLayoutInfo> others) {
        const auto d = DecisionEngine::decideRun(run(typed, us), us, others, oracle);
        return d ? d->target.language() + " " + std::to_string(d->wordCount) : "none";
    };
    EXPECT_EQ(decideRun({"nv", "nv"}, {il}), "none");
    EXPECT_EQ(decideRun({"nv", "nv", "nv"}, {il}), "he 3");
    EXPECT_EQ(decideRun({"xyz", "nv", "akuo"}, {il}), "he 2");
    oracle.words["en"] = {"ana", "rta"};
    EXPECT_EQ(decideRun({"ana", "rta", "chmv", "akuo"}, {il}), "none");
    oracle.words["en"] = {"ana"};
    EXPECT_EQ(decideRun({"ana", "rta", "chmv", "akuo"}, {il}), "he 4");
    oracle.ranks["ru"] = {{"тм", 1}, {"флгщ", 1}};
    EXPECT_EQ(decideRun({"nv", "akuo"}, {il, ru}), "none");
    oracle.ranks["ru"].clear();
    EXPECT_EQ(decideRun({"nv", "akuo"}, {il, ru}), "he 2");
}

// Greek typed right reads back without its tonos, typed with a dead key: it is still the word typed,
// alone, in a run, and as the word a reach-back would pass over.
TEST(GreekTypedRight, isTheWordWithItsTonos)
{
    FakeOracle oracle;
    oracle.words["en"] = {"programma", "pera", "apo"};
    oracle.ranks["en"] = {{"pera", 900}, {"apo", 800}};
    oracle.words["el"] = {"πρόγραμμα", "πέρα", "από", "Όλα"};
    struct Row {
        const char* typed;
        bool genuine;
    };
    const Row rows[] = {
        {"προγραμμα", true},   // πρόγραμμα
        {"απο", true},         // από
        {"Ολα", true},         // Όλα: the capital takes the tonos
        {"απο.", true},        // a trailing mark aside
        {"αποο", false},       // no vowel's tonos makes a word
        {"πρoγραμμα", false},  // a Latin o takes no Greek tonos
    };
    for (const Row& row : rows)
        EXPECT_EQ(DecisionEngine::genuineAsTyped(row.typed, "el", oracle), row.genuine) << row.typed;

    EXPECT_EQ(decided("προγραμμα", gr, {us}, oracle), "none");
    EXPECT_EQ(DecisionEngine::decideRun(run({"περα", "απο"}, gr), gr, std::vector{us}, oracle), std::nullopt);
    EXPECT_EQ(DecisionEngine::retroConvertible(keysOf("απο", gr), "απο", gr, us, oracle, "el"), std::nullopt);

    // Without the accented words, the same keys are English typed on the Greek layout.
    oracle.words["el"].clear();
    EXPECT_EQ(decided("προγραμμα", gr, {us}, oracle), "programma @en");
    EXPECT_NE(DecisionEngine::decideRun(run({"περα", "απο"}, gr), gr, std::vector{us}, oracle), std::nullopt);
    EXPECT_EQ(DecisionEngine::retroConvertible(keysOf("απο", gr), "απο", gr, us, oracle, "el"), "apo");
}

// On the English layout the Greek tonos key types ";": a dead key on the Greek layout, part of the
// vowel typed after it, so the word converts with its accent and even a short one is no plain
// English word. Typed right, the same key reads as the accent, never as a ";" inside the word.
TEST(GreekTonosKey, readsAsTheAccentOfTheNextVowel)
{
    FakeOracle oracle;
    oracle.words["el"] = {"από", "απο", "είναι", "πρόγραμμα"};
    oracle.words["en"] = {"programma"};
    EXPECT_EQ(decided("ap;o", us, {gr}, oracle), "από @el");
    EXPECT_EQ(decided("e;inai", us, {gr}, oracle), "είναι @el");
    EXPECT_EQ(decided("apo", us, {gr}, oracle), "none");   // 3 letters, and no key vouches for Greek
    EXPECT_EQ(decided("apo;", us, {gr}, oracle), "none");  // the tonos with no vowel after it

    EXPECT_TRUE(DecisionEngine::typedIsForeignLetters(keysOf("ap;o", us), us, gr, false));
    EXPECT_FALSE(DecisionEngine::typedIsForeignLetters(keysOf("apo;", us), us, gr, false));
    EXPECT_FALSE(DecisionEngine::typedIsForeignLetters(keysOf("ap;o", us), us, us, false));

    // The spell checker passes a text whose pieces are words; with a mark inside, it is no word.
    oracle.words["en"] = {"kat;a", "pol;y", ";ergo", "hello", "(hello", "don't", "well-known"};
    const struct {
        const char* typed;
        bool genuine;
    } rows[] = {
        {"kat;a", false}, {"pol;y", false},     {";ergo", false}, {"hello.", true},
        {"(hello", true}, {"well-known", true}, {"don't", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DecisionEngine::genuineAsTyped(row.typed, "en", oracle), row.genuine) << row.typed;

    std::vector<KeyStroke> typedRight = keysOf("προγραμμα", gr);
    typedRight.insert(typedRight.begin() + 2, keysOf(";", us).front());
    EXPECT_FALSE(DecisionEngine::decide(typedRight, gr, std::vector{us}, oracle));
    oracle.words["el"].clear();
    EXPECT_FALSE(DecisionEngine::decide(typedRight, gr, std::vector{us}, oracle));  // not "pr;ogramma"
}

// The share of words of 2 characters or more that the checker accepts.
TEST(SpellScore, countsWordsOfTwoCharactersOrMore)
{
    FakeOracle oracle;
    oracle.words["en"] = {"don't"};
    EXPECT_DOUBLE_EQ(DecisionEngine::spellScore("don't stop", "en", oracle), 0.5);
    EXPECT_DOUBLE_EQ(DecisionEngine::spellScore("a b c", "en", oracle), 0.0);
    EXPECT_DOUBLE_EQ(DecisionEngine::spellScore("don't", "xx", oracle), 0.0);
}

// The real dictionaries and shipped lists on the layouts users have.
class DecideWithRealOracles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        FrequencyOracle::setResourceBundle(KX_SOURCE_RESOURCE_DIR);
        spell = new SystemSpellOracle();
        oracle = new FrequencyOracle(*spell, KX_SOURCE_RESOURCE_DIR);
        oracle->warmUp({"en", "he", "ru", "ar"});
    }
    static void TearDownTestSuite()
    {
        delete oracle;
        delete spell;
    }
    static inline SystemSpellOracle* spell = nullptr;
    static inline FrequencyOracle* oracle = nullptr;
};

// Hebrew abbreviations typed right stay Hebrew, even where another layout's keys make a word
// that its spell checker takes.
TEST(DecideWord, hebrewJoinedByGereshIsNeverAnotherScript)
{
    FakeOracle oracle;
    oracle.checkable.insert("ar");
    oracle.reliable.insert("ar");
    oracle.words["ar"] = {"ل\"س", "سعف\"ن"};
    EXPECT_EQ(decided("ע\"ד", il, {us, ru, ara}, oracle), "none");
    EXPECT_EQ(decided("ע\"ד.", il, {us, ru, ara}, oracle), "none");
    for (const char* word : {"ע\"ד", "דוא\"ל"}) {
        const auto keys = keysOf(word, il);
        EXPECT_FALSE(DecisionEngine::retroConvertible(keys, word, il, ara, oracle, std::nullopt)) << word;
        EXPECT_FALSE(DecisionEngine::decideRun(run({word, word}, il), il, std::vector{ara}, oracle)) << word;
    }
    // The same shape typed as English letters still converts.
    oracle.words["en"] = {"hello"};
    EXPECT_EQ(decided("יקךךם", il, {us, ara}, oracle), "hello @en");
}

// Words typed on the wrong layout come back as the user meant them.
TEST_F(DecideWithRealOracles, convertsWrongLayoutWords)
{
    EXPECT_EQ(decided("יקךךם", il, {us}, *oracle), "hello @en");
    EXPECT_EQ(decided("ghbdtn", us, {il, ru}, *oracle), "привет @ru");
    EXPECT_EQ(decided("cceav", us, {il, ru}, *oracle), "בבקשה @he");
    EXPECT_EQ(decided("t,v", us, {il, ru}, *oracle), "אתה @he");
    EXPECT_EQ(decided("Cיקבלןמע", il, {us, ru}, *oracle), "Checking @en");
    // 4 letters are too few alone; the run of words around it carries it.
    EXPECT_EQ(decided("akuo", us, {il}, *oracle), "none");
    const auto d = DecisionEngine::decideRun(run({"nv", "akuo"}, us), us, std::vector{il}, *oracle);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->target.id, "xkb:il");
    EXPECT_EQ(d->wordCount, 2);
}

// Real words typed on the right layout stay.
TEST_F(DecideWithRealOracles, leavesRealWords)
{
    for (const char* word : {"hello", "world", "because", "people", "the", "don't", "hello."})
        EXPECT_EQ(decided(word, us, {il, ru}, *oracle), "none") << word;
    for (const char* word : {"שלום", "תודה", "בבקשה"})
        EXPECT_EQ(decided(word, il, {us, ru}, *oracle), "none") << word;
    EXPECT_EQ(decided("привет", ru, {us, il}, *oracle), "none");
    // Abbreviations and quoted words, whatever the spell checkers make of them.
    for (const char* word : {"ע\"ד", "צה\"ל", "ארה\"ב", "ע\"י", "ה\"סטרא", "דוא\"ל", "מנכ\"ל"})
        EXPECT_EQ(decided(word, il, {us, ru, ara}, *oracle), "none") << word;
    EXPECT_FALSE(DecisionEngine::decideRun(run({"see", "you", "there"}, us), us, std::vector{il, ru}, *oracle));
}

}  // namespace
}  // namespace kx
