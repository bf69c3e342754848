#include "engine/DecisionEngine.h"

#include "engine/EnclosingPunctuation.h"
#include "engine/NgramModel.h"
#include "engine/TranslationEngine.h"
#include "engine/WordAssembler.h"
#include "platform/Text.h"

#include <unicode/uchar.h>

#include <algorithm>

namespace kx {

namespace {

// A converted word counts as the target's script when this share of its letters is in it.
constexpr double scriptShare = 0.85;

const std::string geresh = "\u05F3";
const std::string gershayim = "\u05F4";

// A vowel sign or virama: an Indic letter carries one of them, after which it takes no vowel sign,
// virama or nukta.
bool closesLetter(char32_t c)
{
    const auto category = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_INDIC_SYLLABIC_CATEGORY);
    return category == U_INSC_VOWEL_DEPENDENT || category == U_INSC_VIRAMA;
}

bool needsOpenLetter(char32_t c)
{
    return closesLetter(c) ||
           u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_INDIC_SYLLABIC_CATEGORY) == U_INSC_NUKTA;
}

// Characters as the text shows them. The grapheme rules join every mark to the cluster before it,
// but a mark with no letter to sit on, such as a Devanagari vowel sign typed first or a second
// vowel sign after the first, is drawn on a base of its own.
std::size_t characterCount(std::string_view s)
{
    std::size_t count = 0;
    for (const std::string& c : text::characters(s)) {
        bool letter = false;  // the cluster has a letter a mark can sit on
        bool closed = false;  // that letter already carries its vowel sign or virama
        for (const char32_t scalar : text::toScalars(c)) {
            if (!text::isMark(scalar)) {
                count += letter ? 0 : 1;
                letter = true;
                continue;
            }
            if (letter && !(closed && needsOpenLetter(scalar))) {
                closed = closed || closesLetter(scalar);
                continue;
            }
            count += 1;
        }
    }
    return count;
}

// Letters as the keys typed them: every scalar of categories L and M. A Devanagari vowel sign or
// virama is a key of its own but joins the letter before it in one character, or stands alone as
// a character that is no letter, so counting characters would make "hello" typed on the Hindi
// layout a word of 4 letters. Scripts without combining marks count the same either way.
int letterCount(std::string_view s)
{
    int count = 0;
    for (const char32_t c : text::toScalars(s)) {
        if (text::isLetter(c))
            ++count;
    }
    return count;
}

// Written in capitals: upper-casing changes nothing, lower-casing changes something, and no
// letter is caseless. A capital typed with Shift before Hebrew or Arabic letters, as the Hebrew
// layout types one for a capitalised English word, is not an acronym.
bool isAllCapitals(std::string_view s)
{
    if (s != text::uppercased(s) || s == text::lowercased(s))
        return false;
    const std::vector<std::string> characters = text::characters(s);
    return std::none_of(characters.begin(), characters.end(), [](const std::string& c) {
        return text::characterIsLetter(c) && !text::characterIsUppercase(c);
    });
}

// The key types one punctuation or symbol scalar on the layout.
bool typesOneMark(const KeyStroke& key, const platform::KeyTable& layout)
{
    const auto text = TranslationEngine::character(key.code, key.flags, layout);
    if (!text)
        return false;
    const std::u32string scalars = text::toScalars(*text);
    return scalars.size() == 1 && (text::isPunctuation(scalars.front()) || text::isSymbol(scalars.front()));
}

// Marks that open a quotation or a bracket before a word.
bool isOpeningMark(const std::string& c)
{
    static const std::unordered_set<std::string> marks{"\"", "(", "[", "{", "«", "„", "“", "‘"};
    return marks.contains(c);
}

// The key types a letter on current and, on target, a mark that opens a quotation or a bracket.
bool opensWordOn(const KeyStroke& key, const platform::KeyTable& current, const platform::KeyTable& target)
{
    const auto here = TranslationEngine::character(key.code, key.flags, current);
    const auto there = TranslationEngine::character(key.code, key.flags, target);
    if (!here || !there || !isOpeningMark(*there))
        return false;
    const std::u32string scalars = text::toScalars(*here);
    return scalars.size() == 1 && text::isLetter(scalars.front());
}

bool startsWithGeresh(std::string_view s)
{
    return s.starts_with(geresh) || s.starts_with(gershayim);
}

// A mark before one of the word's letters splits it: the spell checker judges the pieces on each
// side, so "kat;a" (the Greek κατά typed on the English layout) would pass as two English words.
// Marks that belong inside words, and an opening bracket or quote before the word, do not split it.
bool hasMarkBeforeALetter(std::string_view s)
{
    static const std::u32string opening = U"([{\u00AB\u201C\u2018\u201E";
    const std::u32string scalars = text::toScalars(s);
    std::size_t i = 0;
    while (i < scalars.size() && opening.find(scalars[i]) != std::u32string::npos)
        ++i;
    bool mark = false;
    for (; i < scalars.size(); ++i) {
        const char32_t c = scalars[i];
        if (text::isLetter(c)) {
            if (mark)
                return true;
        } else if ((text::isPunctuation(c) || text::isSymbol(c)) && c != U'\'' && c != U'-' &&
                   !WordAssembler::quoteFamily().contains(c)) {
            mark = true;
        }
    }
    return false;
}

bool isCommonShort(Script script, std::string_view word)
{
    const auto& table = DecisionEngine::commonShort();
    const auto words = table.find(script);
    return words != table.end() && words->second.contains(text::lowercased(word));
}

// Scripts whose spell checkers accept too much (Hebrew's accepts most letter strings): a word
// there must also be on the frequency list.
bool needsRank(Script script)
{
    return script == Script::hebrew || script == Script::arabic || script == Script::devanagari ||
           script == Script::other;
}

// A short word is real when its list ranks it, or, without a list, when it is a common short word.
// A list that lacks the word outweighs the common words.
bool shortWordIsReal(const std::string& word, const std::string& language, Script script, LanguageOracle& oracle)
{
    const Frequency frequency = oracle.frequency(word, language);
    switch (frequency.kind) {
    case Frequency::Kind::ranked:
        return true;
    case Frequency::Kind::absent:
        return false;
    case Frequency::Kind::noList:
        return isCommonShort(script, word);
    }
    return false;
}

// The Greek vowels and the same vowels with the tonos.
const std::map<std::string, std::string>& tonosForms()
{
    static const std::map<std::string, std::string> forms{
        {"α", "ά"}, {"ε", "έ"}, {"η", "ή"}, {"ι", "ί"}, {"ο", "ό"}, {"υ", "ύ"}, {"ω", "ώ"},
        {"Α", "Ά"}, {"Ε", "Έ"}, {"Η", "Ή"}, {"Ι", "Ί"}, {"Ο", "Ό"}, {"Υ", "Ύ"}, {"Ω", "Ώ"},
    };
    return forms;
}

// The Greek layouts type the tonos with a dead key, and a dead key types nothing on its own, so
// the keys of a Greek word typed right read back without its accent. Such a word is the word
// typed when it takes the tonos on one of its vowels.
bool isWordWithoutTonos(const std::string& word, const std::string& language, LanguageOracle& oracle)
{
    std::vector<std::string> characters = text::characters(word);
    for (std::string& c : characters) {
        const auto form = tonosForms().find(c);
        if (form == tonosForms().end())
            continue;
        const std::string vowel = c;
        c = form->second;
        std::string accented;
        for (const std::string& part : characters)
            accented += part;
        if (!oracle.isMisspelled(accented, language))
            return true;
        c = vowel;
    }
    return false;
}

// The typed text is a word of the language it was typed in.
bool isWordAsTyped(const std::string& word, const std::string& language, LanguageOracle& oracle)
{
    if (!oracle.isMisspelled(word, language))
        return true;
    return Script::forLanguage(language) == Script::greek && isWordWithoutTonos(word, language, oracle);
}

// The typed text is a real word of its own language, so it stays as typed.
bool standsAsTyped(const std::string& word, const std::string& language, Script script, LanguageOracle& oracle)
{
    if (characterCount(word) < 3)
        return shortWordIsReal(word, language, script, oracle);
    return DecisionEngine::acceptableToken(word) && isWordAsTyped(word, language, oracle);
}

// The word as a frequency list holds it: without the marks that open or close it.
std::string bareWord(std::string_view s)
{
    const std::vector<std::string> characters = text::characters(DecisionEngine::strippingTrailingPunctuation(s));
    auto first = characters.begin();
    while (first != characters.end() && isOpeningMark(*first))
        ++first;
    std::string result;
    for (auto c = first; c != characters.end(); ++c)
        result += *c;
    return result;
}

// How many keys at the end of keys type one closing mark on the layout.
std::size_t closingKeys(std::span<const KeyStroke> keys, const platform::KeyTable& layout)
{
    std::size_t n = 0;
    while (n < keys.size()) {
        const KeyStroke& key = keys[keys.size() - 1 - n];
        const auto mark = TranslationEngine::character(key.code, key.flags, layout);
        if (!mark || !DecisionEngine::closingMarks().contains(*mark))
            break;
        ++n;
    }
    return n;
}

// word, the keys' text on target, has the shape of an acronym of its own. A quote that closed the
// typed word, with the marks after it, is no acronym on a layout where those marks are letters: a
// Hebrew word typed right and closed with a quote and a full stop reads there as a quote before a
// last letter.
bool isAcronymOnTarget(const std::string& word, std::span<const KeyStroke> keys, const KeyboardLayoutInfo& current,
                       const KeyboardLayoutInfo& target)
{
    if (!DecisionEngine::isAcronymShaped(word))
        return false;
    const std::size_t closing = closingKeys(keys, current.layoutData);
    if (closing < 2)
        return true;
    const auto inside = TranslationEngine::reconstructFaithful(keys.first(keys.size() - closing), target.layoutData);
    return inside && DecisionEngine::isAcronymShaped(*inside);
}

// A word of 3 characters or more is real on target: in rank-only scripts it needs a rank unless
// its shape or its keys vouch for it; elsewhere the spell checker's word is enough. Ranks are
// looked up without the marks around the word.
bool longWordIsReal(const std::string& word, std::span<const KeyStroke> keys, const KeyboardLayoutInfo& current,
                    const KeyboardLayoutInfo& target, LanguageOracle& oracle)
{
    const std::string language = target.language();
    if (needsRank(Script::forLanguage(language)) && !isAcronymOnTarget(word, keys, current, target) &&
        !DecisionEngine::typedIsForeignLetters(keys, current, target, true))
        return oracle.frequency(bareWord(word), language).isRanked();
    return !oracle.isMisspelled(word, language);
}

// How many letters make the word short for the word decision's last guard. Typed in Devanagari, a
// consonant and its signs are several keys, and some of those keys type marks inside the word on
// other layouts: the conversion's letters count too, with the closing marks that end it counted
// as the keys they are.
int shortWordLetters(const std::string& typed, const std::string& corrected, Script typedScript)
{
    const int letters = letterCount(typed);
    if (typedScript != Script::devanagari)
        return letters;
    const std::string word = DecisionEngine::strippingTrailingPunctuation(corrected);
    const auto closing = static_cast<int>(characterCount(corrected) - characterCount(word));
    return std::min(letters, letterCount(word) + closing);
}

}  // namespace

const std::map<Script::Value, std::unordered_set<std::string>>& DecisionEngine::commonShort()
{
    static const std::map<Script::Value, std::unordered_set<std::string>> table{
        {Script::latin, {"a",  "i",  "an", "am", "as", "at", "be", "by", "do", "go", "he", "hi", "if", "in",
                         "is", "it", "me", "my", "no", "of", "ok", "on", "or", "so", "to", "up", "us", "we"}},
        {Script::hebrew,
         {"אב", "אח", "אש", "אם", "את", "אל", "אז", "או", "בא", "בו", "בה", "בן", "בת", "גם", "גן", "דם", "הם",
          "הן", "זה", "זו", "חג", "חי", "ים", "יד", "יה", "יש", "כל", "כך", "כי", "כן", "לא", "לו", "לי", "לה",
          "לך", "מה", "מי", "מן", "מת", "סע", "על", "עם", "עד", "פה", "רק", "רץ", "שם", "של", "שר", "קם", "תה"}},
        // Hindi's commonest short words. A run judges a short typed word by this table alone, so
        // without them a sentence of short Hindi words reads as English typed on the Hindi layout.
        {Script::devanagari,
         {"है",  "हैं",  "के",  "का",  "की", "को",  "में",    "से",   "ने",   "पर",  "तक",  "और",  "या", "व",
          "तो", "भी", "ही", "न",   "कि", "जो",  "जब",   "तब",  "अब",  "यह",  "वह",  "ये",   "वे",  "इस",
          "उस", "इन", "उन", "एक",  "दो", "हम",  "मैं",    "आप",  "कर",  "हो",  "था",  "थे",   "थी", "गया",
          "जा", "ले",  "दे",  "नहीं", "कुछ", "लिए", "किया", "कोई", "क्या", "यदि", "तथा", "साथ", "बाद"}},
    };
    return table;
}

const std::unordered_set<std::string>& DecisionEngine::closingMarks()
{
    // The Arabic comma, semicolon, question mark and full stop close an Arabic word as the Latin
    // marks close others: without them an Arabic word typed with its comma made no word at all.
    static const std::unordered_set<std::string> marks{
        ",",      ".",      ";",      ":",      "!",      "?",      ")",      "\"",     "'",
        "\u201D", "\u2019", "\u05F3", "\u05F4", "\u060C", "\u061B", "\u061F", "\u06D4",
    };
    return marks;
}

std::optional<Decision> DecisionEngine::decide(std::span<const KeyStroke> keys, const KeyboardLayoutInfo& current,
                                               std::span<const KeyboardLayoutInfo> others, LanguageOracle& oracle,
                                               const std::string& previousLayoutID)
{
    const std::string typed = TranslationEngine::reconstruct(keys, current.layoutData);
    if (!mayBeMistyped(typed, current, oracle))
        return std::nullopt;
    if (auto chosen = chooseTarget(keys, typed, current, others, oracle, previousLayoutID);
        chosen && !isShortByChance(keys, typed, *chosen, current))
        return chosen;
    if (auto chosen = withMarksInFront(keys, current, others, oracle, previousLayoutID))
        return Decision{typed, chosen->corrected, chosen->target};
    return withQuoteMeantInFront(keys, typed, current, others, oracle, previousLayoutID);
}

std::optional<Decision> DecisionEngine::withMarksInFront(std::span<const KeyStroke> keys,
                                                         const KeyboardLayoutInfo& current,
                                                         std::span<const KeyboardLayoutInfo> others,
                                                         LanguageOracle& oracle, const std::string& previousLayoutID)
{
    // Marks in front of the word (an opening bracket or quote typed with the key that types it on
    // the layout meant) hide the word from the tests above: the word inside them decides, and the
    // marks go over with it.
    std::size_t lead = 0;
    while (lead < keys.size() && typesOneMark(keys[lead], current.layoutData))
        ++lead;
    if (lead == 0 || lead == keys.size())
        return std::nullopt;
    const auto marks = keys.first(lead);
    const auto inner = keys.subspan(lead);
    const std::string innerTyped = TranslationEngine::reconstruct(inner, current.layoutData);
    if (!mayBeMistyped(innerTyped, current, oracle))
        return std::nullopt;
    const auto chosen = chooseTarget(inner, innerTyped, current, others, oracle, previousLayoutID);
    if (!chosen || isShortByChance(inner, innerTyped, *chosen, current) ||
        !std::ranges::all_of(marks, [&](const KeyStroke& key) {
            return EnclosingPunctuation::isEnclosingKey(key, current.layoutData, chosen->target.layoutData);
        }))
        return std::nullopt;
    return Decision{
        {}, TranslationEngine::reconstruct(marks, chosen->target.layoutData) + chosen->corrected, chosen->target};
}

std::optional<Decision> DecisionEngine::withQuoteMeantInFront(std::span<const KeyStroke> keys, const std::string& typed,
                                                              const KeyboardLayoutInfo& current,
                                                              std::span<const KeyboardLayoutInfo> others,
                                                              LanguageOracle& oracle,
                                                              const std::string& previousLayoutID)
{
    // The key of a quote or bracket meant before the word may type a letter here (the Russian
    // layout types "Э" with the key of the U.S. layout's quotation mark): the word after it
    // decides, and the whole word, letters counted as typed, must pass the short-word test.
    for (const KeyboardLayoutInfo& target : others) {
        std::size_t lead = 0;
        while (lead < keys.size() && opensWordOn(keys[lead], current.layoutData, target.layoutData))
            ++lead;
        if (lead == 0 || lead == keys.size())
            continue;
        const auto inner = keys.subspan(lead);
        const std::string innerTyped = TranslationEngine::reconstruct(inner, current.layoutData);
        if (!mayBeMistyped(innerTyped, current, oracle))
            continue;
        const auto chosen = chooseTarget(inner, innerTyped, current, others, oracle, previousLayoutID);
        if (!chosen || chosen->target.id != target.id)
            continue;
        Decision decision{
            typed, TranslationEngine::reconstruct(keys.first(lead), target.layoutData) + chosen->corrected, target};
        if (!isShortByChance(keys, typed, decision, current))
            return decision;
    }
    return std::nullopt;
}

bool DecisionEngine::isShortByChance(std::span<const KeyStroke> keys, const std::string& typed, const Decision& chosen,
                                     const KeyboardLayoutInfo& current)
{
    // Short words make real words on several layouts by chance; convert one only when a key
    // typed punctuation here and a letter there.
    return shortWordLetters(typed, chosen.corrected, Script::forLanguage(current.language())) <= 4 &&
           !isAcronymOnTarget(chosen.corrected, keys, current, chosen.target) &&
           !typedIsForeignLetters(keys, current, chosen.target, false);
}

bool DecisionEngine::mayBeMistyped(const std::string& typed, const KeyboardLayoutInfo& current, LanguageOracle& oracle)
{
    if (!acceptableAsTyped(typed) || isHebrewJoinedByGeresh(typed) || letterCount(typed) < 2)
        return false;
    const std::string language = current.language();
    if (!oracle.canCheck(language))
        return false;
    const Script script = Script::forLanguage(language);
    if (standsAsTyped(typed, language, script, oracle))
        return false;
    const std::string stripped = strippingTrailingPunctuation(typed);
    return stripped == typed || characterCount(stripped) < 2 || !standsAsTyped(stripped, language, script, oracle);
}

std::optional<Decision> DecisionEngine::chooseTarget(std::span<const KeyStroke> keys, const std::string& typed,
                                                     const KeyboardLayoutInfo& current,
                                                     std::span<const KeyboardLayoutInfo> others, LanguageOracle& oracle,
                                                     const std::string& previousLayoutID)
{
    std::vector<Decision> candidates;
    for (const KeyboardLayoutInfo& target : others) {
        const std::optional<std::string> conv = TranslationEngine::reconstructFaithful(keys, target.layoutData);
        if (!conv || *conv == typed)
            continue;
        const std::string convStripped = strippingTrailingPunctuation(*conv);
        if (!acceptableToken(convStripped) || startsWithGeresh(convStripped))
            continue;
        const std::string targetLanguage = target.language();
        const Script targetScript = Script::forLanguage(targetLanguage);
        if (!targetScript.matches(*conv, scriptShare) || !oracle.isReliable(targetLanguage))
            continue;
        const std::string bare = bareWord(*conv);
        const bool real = characterCount(bare) < 3 ? shortWordIsReal(bare, targetLanguage, targetScript, oracle)
                                                   : longWordIsReal(*conv, keys, current, target, oracle);
        if (real)
            candidates.push_back(Decision{typed, *conv, target});
    }

    std::optional<Decision> chosen;
    if (candidates.size() == 1) {
        chosen = candidates.front();
    } else if (candidates.size() > 1) {
        // Several layouts make words: only a clearly more frequent one wins.
        std::vector<std::pair<int, const Decision*>> ranked;
        for (const Decision& candidate : candidates) {
            const Frequency frequency = oracle.frequency(bareWord(candidate.corrected), candidate.target.language());
            if (frequency.isRanked())
                ranked.emplace_back(frequency.rank, &candidate);
        }
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        // Ranks of different languages' lists weigh little against each other; the layout the user
        // just left is the likelier one to have been meant, when its word is ranked at all.
        const auto previous = std::ranges::find_if(
            ranked, [&](const auto& entry) { return entry.second->target.id == previousLayoutID; });
        if (!previousLayoutID.empty() && previous != ranked.end())
            chosen = *previous->second;
        else if (ranked.size() == 1)
            chosen = *ranked[0].second;
        else if (ranked.size() > 1 && static_cast<long long>(ranked[1].first) > 4LL * ranked[0].first)
            chosen = *ranked[0].second;
    }
    return chosen;
}

bool DecisionEngine::acceptableToken(std::string_view s)
{
    const std::size_t length = characterCount(s);
    if (length < 2 || length > 24)
        return false;
    const std::u32string scalars = text::toScalars(s);
    // No word of any script begins with a combining mark.
    if (text::isMark(scalars.front()))
        return false;
    const auto& quotes = WordAssembler::quoteFamily();
    std::optional<bool> latin;  // computed on first need
    for (char32_t c : scalars) {
        if (text::isDecimalDigit(c))
            return false;
        if (text::isLetter(c) || c == U'\'' || c == U'-')
            continue;
        if (quotes.contains(c)) {
            if (!latin)
                latin = Script::dominant(s) == Script::latin;
            if (!*latin)
                continue;
        }
        return false;
    }
    if (isAllCapitals(s))
        return false;
    const std::vector<std::string> characters = text::characters(s);
    return std::none_of(characters.begin() + 1, characters.end(),
                        [](const std::string& c) { return text::characterIsUppercase(c); });
}

bool DecisionEngine::acceptableAsTyped(std::string_view s)
{
    const std::size_t length = characterCount(s);
    if (length < 2 || length > 24)
        return false;
    for (char32_t c : text::toScalars(s)) {
        if (text::isDecimalDigit(c) || text::isWhitespaceOrNewline(c))
            return false;
    }
    return !isAllCapitals(s);
}

std::string DecisionEngine::strippingTrailingPunctuation(std::string_view s)
{
    std::vector<std::string> characters = text::characters(s);
    while (!characters.empty() && closingMarks().contains(characters.back()))
        characters.pop_back();
    std::string result;
    for (const std::string& c : characters)
        result += c;
    return result;
}

bool DecisionEngine::isAcronymShaped(std::string_view s)
{
    const std::u32string scalars = text::toScalars(s);
    if (scalars.size() < 3 || WordAssembler::quoteFamily().contains(scalars.back()))
        return false;
    const char32_t beforeLast = scalars[scalars.size() - 2];
    return beforeLast == U'\u05F4' || beforeLast == U'"';
}

bool DecisionEngine::typedIsForeignLetters(std::span<const KeyStroke> keys, const KeyboardLayoutInfo& current,
                                           const KeyboardLayoutInfo& target, bool ignoringTrailingPunctuation)
{
    std::size_t n = keys.size();
    if (ignoringTrailingPunctuation) {
        while (n > 0) {
            const auto a = TranslationEngine::character(keys[n - 1].code, keys[n - 1].flags, current.layoutData);
            if (!a || characterCount(*a) != 1 || !closingMarks().contains(*a))
                break;
            --n;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const auto a = TranslationEngine::character(keys[i].code, keys[i].flags, current.layoutData);
        if (!a)
            continue;
        const std::u32string sa = text::toScalars(*a);
        if (sa.size() != 1 || !(text::isPunctuation(sa[0]) || text::isSymbol(sa[0])))
            continue;
        // A dead key on target puts its accent on the letter typed after it (the Greek tonos).
        if (i + 1 < keys.size() && TranslationEngine::deadAccent(keys[i].code, keys[i].flags, target.layoutData) != 0)
            return true;
        const auto b = TranslationEngine::character(keys[i].code, keys[i].flags, target.layoutData);
        if (!b)
            continue;
        const std::u32string sb = text::toScalars(*b);
        if (sb.size() == 1 && text::isLetter(sb[0]))
            return true;
    }
    return false;
}

bool DecisionEngine::hasStrayGeresh(std::string_view s)
{
    static const std::unordered_set<std::string> takesGeresh{"ג", "ז", "צ", "ץ", "ת"};
    const std::vector<std::string> characters = text::characters(s);
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (characters[i] != geresh && characters[i] != "'")
            continue;
        if (i + 1 == characters.size())
            continue;
        if (i == 0 || !takesGeresh.contains(characters[i - 1]))
            return true;
    }
    return false;
}

bool DecisionEngine::isHebrewJoinedByGeresh(std::string_view s)
{
    const auto isHebrewLetter = [](char32_t c) { return c >= U'\u05D0' && c <= U'\u05EA'; };
    const std::u32string scalars = text::toScalars(s);
    bool joined = false;
    for (std::size_t i = 0; i < scalars.size(); ++i) {
        const char32_t c = scalars[i];
        if (text::isLetter(c) && !isHebrewLetter(c))
            return false;
        const bool afterLetter = i > 0 && isHebrewLetter(scalars[i - 1]);
        const bool beforeLetter = i + 1 < scalars.size() && isHebrewLetter(scalars[i + 1]);
        // The apostrophe is left out: the Hebrew layout types it with the key of w, ц and ص.
        if ((c == U'"' || c == U'\u05F4') && afterLetter && beforeLetter)
            joined = true;
        if (c == U'\u05F3' && afterLetter)
            joined = true;
    }
    return joined;
}

bool DecisionEngine::hasFinalLetterMidWord(std::string_view s)
{
    static const std::unordered_set<std::string> finalForms{"ך", "ם", "ן", "ף", "ץ"};
    std::vector<std::string> letters;
    for (std::string& c : text::characters(s)) {
        if (text::characterIsLetter(c))
            letters.push_back(std::move(c));
    }
    if (letters.empty())
        return false;
    letters.pop_back();
    return std::any_of(letters.begin(), letters.end(), [](const std::string& c) { return finalForms.contains(c); });
}

std::optional<std::string> DecisionEngine::retroConvertible(std::span<const KeyStroke> keys, const std::string& typed,
                                                            const KeyboardLayoutInfo& current,
                                                            const KeyboardLayoutInfo& target, LanguageOracle& oracle,
                                                            const std::optional<std::string>& currentLanguage)
{
    if (isHebrewJoinedByGeresh(typed))
        return std::nullopt;
    const auto split = EnclosingPunctuation::split(keys, current.layoutData, target.layoutData);
    if (split.lead + split.trail >= 1) {
        if (split.lead + split.trail >= keys.size())
            return std::nullopt;
        const std::span<const KeyStroke> inner = keys.subspan(split.lead, keys.size() - split.lead - split.trail);
        const std::string innerTyped = TranslationEngine::reconstruct(inner, current.layoutData);
        if (!retroConvertible(inner, innerTyped, current, target, oracle, currentLanguage))
            return std::nullopt;
        return TranslationEngine::reconstruct(keys, target.layoutData);
    }

    const std::optional<std::string> conv = TranslationEngine::reconstructFaithful(keys, target.layoutData);
    if (!conv)
        return std::nullopt;
    const std::string s = strippingTrailingPunctuation(*conv);
    const std::string targetLanguage = target.language();
    const Script script = Script::forLanguage(targetLanguage);
    if (text::lowercased(*conv) == text::lowercased(typed))
        return std::nullopt;
    if (!script.matches(s, scriptShare) || !oracle.isReliable(targetLanguage))
        return std::nullopt;
    if (currentLanguage && genuineAsTyped(typed, *currentLanguage, oracle))
        return std::nullopt;
    if (startsWithGeresh(s))
        return std::nullopt;

    if (characterCount(s) >= 3) {
        if (!acceptableToken(s))
            return std::nullopt;
        if (longWordIsReal(s, keys, current, target, oracle))
            return conv;
        // Not confirmed on the target, but the typed word is itself a misspelling where it was typed.
        if (currentLanguage && acceptableAsTyped(typed) && oracle.canCheck(*currentLanguage) &&
            !isWordAsTyped(typed, *currentLanguage, oracle))
            return conv;
        return std::nullopt;
    }
    if (currentLanguage && acceptableToken(s))
        return conv;
    if (shortWordIsReal(s, targetLanguage, script, oracle))
        return conv;
    return std::nullopt;
}

bool DecisionEngine::genuineAsTyped(const std::string& word, const std::string& language, LanguageOracle& oracle)
{
    const std::string s = strippingTrailingPunctuation(word);
    const Script script = Script::forLanguage(language);
    if (!script.matches(s, scriptShare) || startsWithGeresh(s) || hasMarkBeforeALetter(s))
        return false;
    if (script == Script::hebrew && (hasStrayGeresh(s) || hasFinalLetterMidWord(s)))
        return false;
    if (characterCount(s) < 3)
        return isCommonShort(script, s);
    if (!oracle.canCheck(language) || !isWordAsTyped(s, language, oracle))
        return false;
    if (script == Script::latin || script == Script::cyrillic || script == Script::greek)
        return true;
    return oracle.frequency(s, language).isRanked() || !NgramModel::looksLikeJunk(s, language);
}

std::optional<DecisionEngine::RunDecision> DecisionEngine::decideRun(std::span<const RunWord> wordsOldestFirst,
                                                                     const KeyboardLayoutInfo& current,
                                                                     std::span<const KeyboardLayoutInfo> others,
                                                                     LanguageOracle& oracle)
{
    const std::string currentLanguage = current.language();
    std::optional<RunDecision> found;
    int qualifying = 0;
    for (const KeyboardLayoutInfo& target : others) {
        int k = 0;
        std::size_t characters = 0;
        int genuine = 0;
        for (auto word = wordsOldestFirst.rbegin(); word != wordsOldestFirst.rend(); ++word) {
            if (!retroConvertible(word->keys, word->typed, current, target, oracle, std::nullopt))
                break;
            ++k;
            characters += characterCount(word->typed);
        }
        if (k < 2 || characters < 5)
            continue;
        for (int i = 0; i < k; ++i) {
            if (genuineAsTyped(wordsOldestFirst[wordsOldestFirst.size() - 1 - i].typed, currentLanguage, oracle))
                ++genuine;
        }
        if (genuine >= k - genuine)
            continue;
        ++qualifying;
        found = RunDecision{target, k};
    }
    if (qualifying != 1)
        return std::nullopt;
    return found;
}

double DecisionEngine::spellScore(std::string_view text, const std::string& language, LanguageOracle& oracle)
{
    if (!oracle.canCheck(language))
        return 0.0;
    std::vector<std::string> words;
    std::string word;
    auto finishWord = [&] {
        if (characterCount(word) >= 2)
            words.push_back(word);
        word.clear();
    };
    for (const std::string& c : text::characters(text)) {
        if (text::characterIsLetter(c) || c == "'" || c == geresh)
            word += c;
        else
            finishWord();
    }
    finishWord();
    if (words.empty())
        return 0.0;
    const auto accepted = std::count_if(words.begin(), words.end(),
                                        [&](const std::string& w) { return !oracle.isMisspelled(w, language); });
    return static_cast<double>(accepted) / static_cast<double>(words.size());
}

}  // namespace kx
