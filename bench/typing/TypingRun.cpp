#include "TypingRun.h"

#include "DesktopSession.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace kx::bench {

using test::DesktopSession;

namespace {

std::string collapsed(const std::string& line)
{
    std::istringstream words(line);
    std::string word;
    std::string result;
    while (words >> word)
        result += (result.empty() ? "" : " ") + word;
    return result;
}

// Waits until the field has been still for quietMs since both its last change and notBefore
// (nanoseconds), at most seconds; whether it came to rest.
bool waitForRest(FieldJournal& journal, std::int64_t notBefore, double quietMs, double seconds)
{
    return DesktopSession::waitFor(
        [&] {
            journal.poll();
            const std::int64_t last = std::max(notBefore, journal.changedAt());
            return monotonicNanoseconds() - last >= static_cast<std::int64_t>(quietMs * 1e6);
        },
        seconds);
}

std::size_t scalars(const std::string& text)
{
    return static_cast<std::size_t>(
        std::ranges::count_if(text, [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
}

// Each press and what the field holds at least once it landed: a key types one scalar or more,
// and a word done may still be rewritten, to the shorter of its two forms.
std::vector<KeyPress> keyPresses(const Sentence& sentence, const std::vector<bool>& onWrongLayout,
                                 const std::vector<std::int64_t>& pressAt)
{
    std::vector<KeyPress> presses;
    std::size_t before = 0;
    for (std::size_t word = 0; word < sentence.words.size() && word < onWrongLayout.size(); ++word) {
        const ExpectedWord& expected = sentence.expected[word];
        const std::size_t shown = scalars(onWrongLayout[word] ? expected.typed : expected.meant);
        const std::size_t strokes = sentence.words[word].strokes.size();
        for (std::size_t i = 0; i < strokes; ++i)
            presses.push_back({0, before + std::min(i + 1, shown)});
        before += std::min({strokes, shown, scalars(expected.meant)}) + 1;
        presses.push_back({0, before});
    }
    if (presses.size() != pressAt.size())
        return {};
    for (std::size_t i = 0; i < presses.size(); ++i)
        presses[i].at = pressAt[i];
    return presses;
}

}  // namespace

const std::vector<LanguageRun>& languageRuns()
{
    static const std::vector<LanguageRun> runs = {
        {"he", "us,il", {.meant = 1, .wrong = 0}},
        {"en", "us,il", {.meant = 0, .wrong = 1}},
        {"ru", "us,ru", {.meant = 1, .wrong = 0}},
        {"ar", "us,ara", {.meant = 1, .wrong = 0}},
        // Shift types a combining mark on these wrong layouts; Hindi's rewrite types vowel signs.
        {"en-ara", "us,ara", {.meant = 0, .wrong = 1}, 2},
        {"ru-ara", "us,ru,ara", {.meant = 1, .wrong = 2}, 2},
        {"en-lyx", "us,il(lyx)", {.meant = 0, .wrong = 1}, 2},
        {"hi", "us,in", {.meant = 1, .wrong = 0}},
    };
    return runs;
}

std::vector<Sentence> typeableSentences(const std::filesystem::path& text, const LayoutKeys& keys,
                                        TypingPlan::Groups groups, int& skipped)
{
    std::vector<Sentence> sentences;
    skipped = 0;
    std::ifstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto words = wordsOf(collapsed(line), keys, groups.meant);
        if (!words) {
            skipped += collapsed(line).empty() ? 0 : 1;
            continue;
        }
        Sentence sentence;
        for (const PlannedWord& word : *words)
            sentence.expected.push_back({word.meant, keys.textOf(word.strokes, groups.wrong)});
        sentence.words = std::move(*words);
        sentences.push_back(std::move(sentence));
    }
    return sentences;
}

std::vector<Sentence> joined(const std::vector<Sentence>& sentences, int perLine)
{
    std::vector<Sentence> lines;
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        if (i % static_cast<std::size_t>(std::max(perLine, 1)) == 0)
            lines.emplace_back();
        Sentence& line = lines.back();
        line.words.insert(line.words.end(), sentences[i].words.begin(), sentences[i].words.end());
        line.expected.insert(line.expected.end(), sentences[i].expected.begin(), sentences[i].expected.end());
    }
    return lines;
}

CellResult typeCell(Typist& typist, TextTarget& target, const std::vector<Sentence>& sentences,
                    TypingPlan::Groups groups, const CellOptions& options)
{
    CellResult result;
    FieldJournal& journal = target.journal();
    for (std::size_t index = 0; index < sentences.size() && result.tally.words < options.words; ++index) {
        const Sentence& sentence = sentences[index];
        const TypingPlan plan = TypingPlan::build(sentence.words, groups, options.pattern, options.paceMs,
                                                  options.seed * 1'000'003 + index);
        journal.poll();
        journal.take();
        const std::vector<std::int64_t> spaceAt = typist.play(plan);
        waitForRest(journal, monotonicNanoseconds(), options.quietMs, 10);
        const std::vector<Snapshot> snapshots = journal.take();
        const std::string text = journal.text();

        const SentenceScore score = scoreSentence(sentence.expected, text);
        result.tally.add(score);
        result.tally.presses += plan.presses;
        result.tally.overlappingPresses += plan.overlappingPresses;
        const auto latencies = fixLatencies(sentence.expected, plan.onWrongLayout, spaceAt, snapshots);
        result.tally.latenciesMs.insert(result.tally.latenciesMs.end(), latencies.begin(), latencies.end());
        const auto keys = keyLatencies(keyPresses(sentence, plan.onWrongLayout, typist.pressTimes()), snapshots);
        result.tally.keyLatenciesMs.insert(result.tally.keyLatenciesMs.end(), keys.begin(), keys.end());
        if (std::ranges::find(score.words, WordOutcome::damaged) != score.words.end()) {
            std::string meant;
            for (const ExpectedWord& word : sentence.expected)
                meant += word.meant + ' ';
            result.damage.push_back("'" + meant + "' => '" + text + "'");
        }

        // Afresh for the next sentence; a field that does not empty ends the cell.
        bool cleared = false;
        for (int attempt = 0; attempt < 3 && !cleared; ++attempt) {
            typist.clearField();
            cleared = waitForRest(journal, monotonicNanoseconds(), 150, 3) && journal.text().empty();
        }
        journal.take();
        if (!cleared) {
            result.failure = "the field did not empty: '" + journal.text() + "'";
            break;
        }
    }
    return result;
}

}  // namespace kx::bench
