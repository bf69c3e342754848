#include "WordScore.h"

#include "platform/Text.h"

#include <algorithm>
#include <cmath>

namespace kx::bench {

namespace {

std::vector<std::string> tokens(std::string_view text)
{
    std::vector<std::string> result;
    std::size_t from = 0;
    while (true) {
        const std::size_t to = text.find(' ', from);
        result.emplace_back(text.substr(from, to == std::string_view::npos ? std::string_view::npos : to - from));
        if (to == std::string_view::npos)
            return result;
        from = to + 1;
    }
}

// The word at index within text's tokens, or null past the end.
const std::string* tokenAt(const std::vector<std::string>& split, std::size_t index)
{
    return index < split.size() ? &split[index] : nullptr;
}

std::size_t scalarCount(std::string_view text)
{
    return static_cast<std::size_t>(
        std::ranges::count_if(text, [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
}

}  // namespace

SentenceScore scoreSentence(const std::vector<ExpectedWord>& words, std::string_view text)
{
    // The final Space leaves an empty last text; it stands for a word of its own that must be
    // there and empty.
    const std::vector<std::string> got = tokens(text);
    const std::size_t n = words.size() + 1;
    const std::size_t m = got.size();
    auto matches = [&](std::size_t word, std::size_t token) {
        if (word == words.size())
            return got[token].empty();
        // Some fields keep a key's compatibility character (the Arabic lam-alef ligature) as its letters.
        return got[token] == words[word].meant || got[token] == words[word].typed ||
               text::nfkc(got[token]) == text::nfkc(words[word].typed);
    };

    // Edit distance over words: 0 for a match, 1 for a changed, lost or extra word.
    std::vector<std::vector<int>> cost(n + 1, std::vector<int>(m + 1, 0));
    for (std::size_t i = 0; i <= n; ++i)
        cost[i][0] = static_cast<int>(i);
    for (std::size_t j = 0; j <= m; ++j)
        cost[0][j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= n; ++i) {
        for (std::size_t j = 1; j <= m; ++j) {
            cost[i][j] = std::min(
                {cost[i - 1][j - 1] + (matches(i - 1, j - 1) ? 0 : 1), cost[i - 1][j] + 1, cost[i][j - 1] + 1});
        }
    }

    SentenceScore score;
    score.words.assign(words.size(), WordOutcome::damaged);
    std::vector<bool> damagedAt(n, false);
    std::size_t i = n;
    std::size_t j = m;
    while (i > 0 || j > 0) {
        if (i > 0 && j > 0 && cost[i][j] == cost[i - 1][j - 1] + (matches(i - 1, j - 1) ? 0 : 1)) {
            if (!matches(i - 1, j - 1))
                damagedAt[i - 1] = true;
            else if (i - 1 < words.size())
                score.words[i - 1] = got[j - 1] == words[i - 1].meant ? WordOutcome::meant : WordOutcome::typed;
            --i;
            --j;
        } else if (i > 0 && cost[i][j] == cost[i - 1][j] + 1) {
            damagedAt[i - 1] = true;
            --i;
        } else {
            // An extra text that repeats the next word doubles it; otherwise it spoils the word before.
            damagedAt[i < n && matches(i, j - 1) ? i : (i > 0 ? i - 1 : 0)] = true;
            --j;
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (!damagedAt[k])
            continue;
        // The final Space stands for no word: its loss or change counts against the last word.
        score.words[std::min(k, words.size() - 1)] = WordOutcome::damaged;
    }

    std::string meant;
    for (const ExpectedWord& word : words)
        meant += word.meant + ' ';
    score.exact = text == meant;
    return score;
}

std::vector<double> fixLatencies(const std::vector<ExpectedWord>& words, const std::vector<bool>& onWrongLayout,
                                 const std::vector<std::int64_t>& spaceAt, const std::vector<Snapshot>& snapshots)
{
    std::vector<double> latencies;
    std::vector<std::vector<std::string>> split;
    split.reserve(snapshots.size());
    for (const Snapshot& snapshot : snapshots)
        split.push_back(tokens(snapshot.text));

    for (std::size_t word = 0; word < words.size() && word < spaceAt.size(); ++word) {
        if (!onWrongLayout[word] || words[word].meant == words[word].typed)
            continue;
        // The word as the field held it when its Space went down: already meant (the keys
        // landed on the right layout after all) is no rewrite.
        std::size_t k = 0;
        const std::string* before = nullptr;
        for (; k < snapshots.size() && snapshots[k].at <= spaceAt[word]; ++k)
            before = tokenAt(split[k], word);
        if (before && *before == words[word].meant)
            continue;
        for (; k < snapshots.size(); ++k) {
            const std::string* now = tokenAt(split[k], word);
            if (!now || *now != words[word].meant)
                continue;
            std::int64_t trigger = spaceAt[word];
            for (std::size_t later = word + 1; later < spaceAt.size() && spaceAt[later] <= snapshots[k].at; ++later)
                trigger = spaceAt[later];
            latencies.push_back(static_cast<double>(snapshots[k].at - trigger) / 1e6);
            break;
        }
    }
    return latencies;
}

std::vector<double> keyLatencies(const std::vector<KeyPress>& presses, const std::vector<Snapshot>& snapshots)
{
    std::vector<double> latencies;
    std::size_t first = 0;
    for (const KeyPress& press : presses) {
        while (first < snapshots.size() && snapshots[first].at < press.at)
            ++first;
        for (std::size_t k = first; k < snapshots.size(); ++k) {
            if (scalarCount(snapshots[k].text) >= press.shownScalars) {
                latencies.push_back(static_cast<double>(snapshots[k].at - press.at) / 1e6);
                break;
            }
        }
    }
    return latencies;
}

void TypingTally::add(const SentenceScore& score)
{
    ++sentences;
    exact += score.exact ? 1 : 0;
    for (const WordOutcome outcome : score.words) {
        ++words;
        meant += outcome == WordOutcome::meant ? 1 : 0;
        typed += outcome == WordOutcome::typed ? 1 : 0;
        damaged += outcome == WordOutcome::damaged ? 1 : 0;
    }
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::ranges::sort(values);
    const auto index = static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

}  // namespace kx::bench
