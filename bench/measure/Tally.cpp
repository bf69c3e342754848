#include "Tally.h"

#include <algorithm>
#include <sstream>

namespace kx::bench {
namespace {

using Counted = std::map<std::string, std::pair<int, std::string>>;

void count(Counted& counted, const std::string& word, const std::string& got)
{
    auto& entry = counted[word];
    entry.first += 1;
    entry.second = got;
}

void mergeCounts(Counted& into, const Counted& from)
{
    for (const auto& [word, miss] : from) {
        auto& mine = into[word];
        mine.first += miss.first;
        mine.second = miss.second;
    }
}

std::vector<std::pair<std::string, std::pair<int, std::string>>> top(const Counted& counted, std::size_t count)
{
    std::vector<std::pair<std::string, std::pair<int, std::string>>> sorted(counted.begin(), counted.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.second.first > b.second.first; });
    if (sorted.size() > count)
        sorted.resize(count);
    return sorted;
}

std::vector<std::string> splitWords(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string word; std::getline(in, word, ' ');)
        if (!word.empty())
            result.push_back(word);
    return result;
}

}  // namespace

void Tally::add(const std::string& meant, const std::string& asTyped, const std::string& result)
{
    const auto meantWords = splitWords(meant);
    const auto typedWords = splitWords(asTyped);
    const auto resultWords = splitWords(result);
    for (std::size_t i = 0; i < meantWords.size(); ++i) {
        const std::string got = i < resultWords.size() ? resultWords[i] : std::string();
        if (got == meantWords[i]) {
            right += 1;
            continue;
        }
        if (i < typedWords.size() && got == typedWords[i]) {
            left += 1;
        } else {
            wrong += 1;
            count(wrongs, meantWords[i], got);
        }
        count(misses, meantWords[i], got);
    }
    // Words the field holds beyond the sentence were made up by a rewrite.
    if (resultWords.size() > meantWords.size())
        wrong += static_cast<int>(resultWords.size() - meantWords.size());
}

void Tally::merge(const Tally& other)
{
    right += other.right;
    left += other.left;
    wrong += other.wrong;
    mergeCounts(misses, other.misses);
    mergeCounts(wrongs, other.wrongs);
}

std::vector<std::pair<std::string, std::pair<int, std::string>>> Tally::topMisses(std::size_t count) const
{
    return top(misses, count);
}

std::vector<std::pair<std::string, std::pair<int, std::string>>> Tally::topWrongs(std::size_t count) const
{
    return top(wrongs, count);
}

std::string Tally::serialize() const
{
    std::ostringstream out;
    out << right << ' ' << left << ' ' << wrong << '\n';
    for (const auto& [word, miss] : misses)
        out << miss.first << '\t' << word << '\t' << miss.second << '\n';
    // The wrong words follow, each line marked.
    for (const auto& [word, miss] : wrongs)
        out << "wrong\t" << miss.first << '\t' << word << '\t' << miss.second << '\n';
    return out.str();
}

Tally Tally::deserialize(const std::string& text)
{
    Tally tally;
    std::istringstream in(text);
    in >> tally.right >> tally.left >> tally.wrong;
    in.ignore();
    for (std::string line; std::getline(in, line);) {
        Counted& counted = line.starts_with("wrong\t") ? tally.wrongs : tally.misses;
        if (&counted == &tally.wrongs)
            line.erase(0, 6);
        const auto tab1 = line.find('\t');
        const auto tab2 = line.find('\t', tab1 + 1);
        if (tab1 == std::string::npos || tab2 == std::string::npos)
            continue;
        counted[line.substr(tab1 + 1, tab2 - tab1 - 1)] = {std::stoi(line.substr(0, tab1)), line.substr(tab2 + 1)};
    }
    return tally;
}

}  // namespace kx::bench
