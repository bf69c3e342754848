#include "engine/Corpus.h"

#include "engine/FrequencyList.h"
#include "engine/FrequencyOracle.h"
#include "engine/PrintedList.h"
#include "engine/SystemSpellOracle.h"
#include "engine/TranslationEngine.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <map>

namespace kx {

namespace {

// Wrong and missed cases listed per group before "… n more".
constexpr std::size_t listedCases = 12;

struct RunTally {
    int pass = 0;
    int missed = 0;
    int wrong = 0;
};

const KeyboardLayoutInfo* englishLayout(const LayoutRegistry& registry)
{
    for (const KeyboardLayoutInfo& layout : registry.layouts) {
        if (layout.language().starts_with("en"))
            return &layout;
    }
    return nullptr;
}

std::vector<KeyboardLayoutInfo> othersThan(const LayoutRegistry& registry, const KeyboardLayoutInfo& layout)
{
    std::vector<KeyboardLayoutInfo> others;
    for (const KeyboardLayoutInfo& other : registry.layouts) {
        if (other.id != layout.id)
            others.push_back(other);
    }
    return others;
}

std::string padded(const std::string& s, std::size_t width)
{
    const std::size_t length = text::characterCount(s);
    return length >= width ? s : s + std::string(width - length, ' ');
}

std::string rightAligned(const std::string& s, std::size_t width)
{
    const std::size_t length = text::characterCount(s);
    return length >= width ? s : std::string(width - length, ' ') + s;
}

std::string row(const std::string& group, int n, int pass, int missed, int wrong)
{
    const std::string rate = n == 0 ? "0%" : std::to_string(std::lround(100.0 * pass / n)) + "%";
    return padded(group, 30) + rightAligned(std::to_string(n), 6) + rightAligned(rate, 7) +
           rightAligned(std::to_string(missed), 9) + rightAligned(std::to_string(wrong), 8);
}

std::string rule()
{
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += "─";
    return line;
}

std::string joined(const std::vector<std::string>& words)
{
    std::string result;
    for (const std::string& word : words)
        result += (result.empty() ? "" : " ") + word;
    return result;
}

void printCases(std::ostream& out, const std::vector<std::pair<Corpus::Case, std::string>>& cases, bool withNote)
{
    for (std::size_t i = 0; i < cases.size() && i < listedCases; ++i) {
        const auto& [c, reason] = cases[i];
        out << "    '" << c.typed << "' " << reason;
        if (withNote)
            out << "   [" << c.note << "]";
        out << "\n";
    }
    if (cases.size() > listedCases)
        out << "    … " << cases.size() - listedCases << " more\n";
}

}  // namespace

int Corpus::scale(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        std::string_view digits = argument;
        if (digits.starts_with('+')) {
            digits.remove_prefix(1);
            if (digits.starts_with('-'))
                continue;
        }
        long long value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (!digits.empty() && error == std::errc() && end == digits.data() + digits.size())
            return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
    }
    return 1;
}

std::vector<std::string> Corpus::words(const std::string& lang, int skip, int take, int minLen)
{
    std::vector<std::string> result;
    const auto bundle = FrequencyOracle::resourceBundle();
    if (!bundle)
        return result;
    const auto text = FrequencyList::fileText(lang, *bundle);
    if (!text)
        return result;
    const std::string& contents = *text;

    // Lines end at line feeds; a carriage return and line feed together are one character and
    // end nothing.
    int index = 0;
    std::size_t start = 0;
    while (start <= contents.size()) {
        std::size_t end = contents.find('\n', start);
        while (end != std::string::npos && end > 0 && contents[end - 1] == '\r')
            end = contents.find('\n', end + 1);
        const std::string line = contents.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? contents.size() + 1 : end + 1;
        if (line.empty())
            continue;
        if (index++ < skip)
            continue;
        if (text::characterCount(line) >= static_cast<std::size_t>(minLen) && DecisionEngine::acceptableToken(line)) {
            result.push_back(line);
            // Checked only after an append: a take of 0 or less never ends the walk early.
            if (static_cast<int>(result.size()) == take)
                return result;
        }
    }
    return result;
}

std::optional<std::vector<KeyStroke>> Corpus::keystrokes(const std::string& text, const KeyboardLayoutInfo& layout)
{
    const auto inverse = TranslationEngine::inverseMap(layout.layoutData);
    const auto deadKeys = TranslationEngine::deadKeyMap(layout.layoutData);
    std::vector<KeyStroke> keys;
    for (const std::string& c : text::characters(text)) {
        if (const auto key = inverse.find(c); key != inverse.end()) {
            keys.push_back(key->second);
            continue;
        }
        // A Devanagari letter and its vowel sign are one character but two keys. An accent that
        // a dead key types goes before its letter, as a Greek typist types the tonos; one that no
        // key types is left out.
        bool typed = false;
        std::size_t accents = keys.size();  // where the next dead key goes
        for (const char32_t scalar : text::toScalars(text::nfd(c))) {
            if (const auto key = inverse.find(text::fromScalar(scalar)); key != inverse.end()) {
                keys.push_back(key->second);
                typed = true;
            } else if (const auto dead = deadKeys.find(scalar); dead != deadKeys.end()) {
                keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(accents++), dead->second);
            } else if (!text::isMark(scalar)) {
                return std::nullopt;
            }
        }
        if (!typed)
            return std::nullopt;
    }
    return keys;
}

std::vector<Corpus::Case> Corpus::build(const LayoutRegistry& registry, int scale)
{
    std::vector<Case> cases;
    const KeyboardLayoutInfo* english = englishLayout(registry);
    if (!english)
        return cases;
    const int take = static_cast<int>(std::clamp<long long>(200LL * scale, INT_MIN, INT_MAX));
    const std::vector<KeyboardLayoutInfo> others = othersThan(registry, *english);

    for (const KeyboardLayoutInfo& other : others) {
        const std::string lo = other.language();
        for (const std::string& w : words(lo, 20, take, 3)) {
            const auto keys = keystrokes(w, other);
            if (!keys)
                continue;
            const std::string t = TranslationEngine::reconstruct(*keys, english->layoutData);
            if (t.empty() || t == w)
                continue;
            // Long enough to convert without a punctuation key, counted as the decisions count
            // letters: a Devanagari vowel sign or virama is one of its own. A word with an accent
            // that no key types cannot be typed whole on another layout.
            if (text::scalarCount(w) >= 5 && TranslationEngine::reconstruct(*keys, other.layoutData) == w)
                cases.push_back({lo + " typed on ABC", t, *keys, *english, Expect::converts(w), "meant " + w});
            cases.push_back({lo + " typed correctly", w, *keys, other, Expect::noChange(), "genuine " + lo});
        }
    }
    for (const std::string& w : words("en", 20, take, 3)) {
        const auto keys = keystrokes(w, *english);
        if (keys)
            cases.push_back({"English typed correctly", w, *keys, *english, Expect::noChange(), "genuine English"});
    }
    for (const KeyboardLayoutInfo& other : others) {
        const std::string lo = other.language();
        for (const std::string& w : words("en", 20, take, 5)) {
            const auto keys = keystrokes(w, *english);
            if (!keys)
                continue;
            const std::string t = TranslationEngine::reconstruct(*keys, other.layoutData);
            if (t.empty() || t == w)
                continue;
            cases.push_back({"English typed on " + lo, t, *keys, other, Expect::converts(w), "meant " + w});
        }
    }
    return cases;
}

std::vector<Corpus::RunCase> Corpus::buildRuns(const LayoutRegistry& registry)
{
    std::vector<RunCase> cases;
    const KeyboardLayoutInfo* english = englishLayout(registry);
    if (!english)
        return cases;
    for (const KeyboardLayoutInfo& other : othersThan(registry, *english)) {
        const std::string lo = other.language();
        const std::vector<std::string> ws = words(lo, 20, 300, 3);
        // The chunks typed on the English layout, then the same chunks typed correctly.
        for (const bool onEnglish : {true, false}) {
            for (const std::size_t length : {std::size_t{2}, std::size_t{3}}) {
                for (std::size_t first = 0; first + length <= ws.size(); first += length) {
                    const std::vector<std::string> chunk(ws.begin() + first, ws.begin() + first + length);
                    std::vector<DecisionEngine::RunWord> run;
                    std::vector<std::string> typed;
                    for (const std::string& w : chunk) {
                        const auto keys = keystrokes(w, other);
                        if (!keys || (onEnglish && TranslationEngine::reconstruct(*keys, other.layoutData) != w))
                            break;
                        typed.push_back(onEnglish ? TranslationEngine::reconstruct(*keys, english->layoutData) : w);
                        run.push_back({*keys, typed.back()});
                    }
                    if (run.size() != chunk.size())
                        continue;
                    const std::string n = std::to_string(length);
                    if (onEnglish)
                        cases.push_back(
                            {lo + " run of " + n + " on ABC", joined(typed), run, *english, lo, joined(chunk)});
                    else
                        cases.push_back(
                            {"genuine " + lo + " run of " + n, joined(chunk), run, other, std::nullopt, "correct"});
                }
            }
        }
    }
    return cases;
}

void Corpus::run(std::ostream& out, platform::InputSources& sources, int scale)
{
    LayoutRegistry registry(sources);
    registry.refresh();
    SystemSpellOracle spell;
    FrequencyOracle oracle(spell, FrequencyOracle::resourceBundle());
    std::vector<std::string> languages;
    for (const KeyboardLayoutInfo& layout : registry.layouts)
        languages.push_back(layout.language());
    oracle.warmUp(languages);

    out << "mode: thorough\n";
    if (registry.layouts.size() < 2) {
        out << "need 2+ layouts\n";
        return;
    }
    std::vector<std::string> names;
    for (const KeyboardLayoutInfo& layout : registry.layouts)
        names.push_back(layout.localizedName + "[" + layout.language() + "]");
    out << "layouts: " << printedList(names) << "\n\n";

    std::map<std::string, Result> results;
    for (const Case& c : build(registry, scale)) {
        const auto d = DecisionEngine::decide(c.keys, c.current, othersThan(registry, c.current), oracle);
        Result& result = results[c.group];
        if (c.expect.kind == Expect::Kind::converts) {
            if (!d)
                result.missed.emplace_back(c, "wanted '" + c.expect.word + "'");
            else if (d->corrected == c.expect.word)
                ++result.pass;
            else
                result.wrong.emplace_back(c, "→ '" + d->corrected + "', wanted '" + c.expect.word + "'");
        } else if (!d) {
            ++result.pass;
        } else {
            result.wrong.emplace_back(c, "→ '" + d->corrected + "'");
        }
    }

    out << padded("GROUP", 30) << rightAligned("n", 6) << rightAligned("pass", 7) << rightAligned("missed", 9)
        << rightAligned("WRONG", 8) << "\n";
    out << rule() << "\n";
    int pass = 0, missed = 0, wrong = 0;
    for (const auto& [group, result] : results) {
        const int m = static_cast<int>(result.missed.size());
        const int w = static_cast<int>(result.wrong.size());
        out << row(group, result.pass + m + w, result.pass, m, w) << "\n";
        pass += result.pass;
        missed += m;
        wrong += w;
    }
    out << rule() << "\n";
    out << row("TOTAL", pass + missed + wrong, pass, missed, wrong) << "\n";

    for (const auto& [group, result] : results) {
        if (result.wrong.empty())
            continue;
        out << "\n▸ WRONG in " << group << "  (" << result.wrong.size() << ")\n";
        printCases(out, result.wrong, true);
    }

    const std::vector<RunCase> runCases = buildRuns(registry);
    std::map<std::string, RunTally> runs;
    for (const RunCase& c : runCases) {
        const auto d = DecisionEngine::decideRun(c.words, c.current, othersThan(registry, c.current), oracle);
        RunTally& tally = runs[c.group];
        if (!c.expect)
            ++(d ? tally.wrong : tally.pass);
        else if (!d)
            ++tally.missed;
        else
            ++(d->target.language() == *c.expect ? tally.pass : tally.wrong);
    }
    if (!runCases.empty()) {
        out << "\nRUNS (multi-word context)\n" << rule() << "\n";
        RunTally total;
        for (const auto& [group, tally] : runs) {
            out << row(group, tally.pass + tally.missed + tally.wrong, tally.pass, tally.missed, tally.wrong) << "\n";
            total.pass += tally.pass;
            total.missed += tally.missed;
            total.wrong += tally.wrong;
        }
        out << rule() << "\n";
        out << row("RUN TOTAL", total.pass + total.missed + total.wrong, total.pass, total.missed, total.wrong) << "\n";
    }

    for (const auto& [group, result] : results) {
        if (result.missed.empty())
            continue;
        out << "\n▸ missed in " << group << "  (" << result.missed.size() << ")\n";
        printCases(out, result.missed, false);
    }
}

}  // namespace kx
