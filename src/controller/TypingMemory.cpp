#include "controller/TypingMemory.h"

#include <algorithm>
#include <utility>

namespace kx {

void TypingMemory::remember(RecentWord word)
{
    m_words.push_back(std::move(word));
    if (m_words.size() > historyLimit)
        m_words.erase(m_words.begin(), m_words.end() - static_cast<std::ptrdiff_t>(historyLimit));
}

void TypingMemory::restore(const std::vector<KeyStroke>& keys)
{
    if (!m_words.empty() && m_words.back().keys == keys)
        m_words.pop_back();
}

bool TypingMemory::inReach(const RecentWord& word, const std::string& layoutID, double now)
{
    return word.layoutID == layoutID && now - word.at < reachBackAge;
}

std::vector<RecentWord> TypingMemory::reachBack(const std::string& layoutID, double now,
                                                const std::function<bool(const RecentWord&)>& accept) const
{
    std::vector<RecentWord> run;
    for (auto it = m_words.rbegin(); it != m_words.rend() && run.size() < retroMaxWords; ++it) {
        if (!inReach(*it, layoutID, now) || (accept && !accept(*it)))
            break;
        run.push_back(*it);
    }
    std::reverse(run.begin(), run.end());
    return run;
}

std::vector<std::string> TypingMemory::typedBefore(std::size_t skip) const
{
    const std::size_t end = m_words.size() - std::min(skip, m_words.size());
    std::vector<std::string> typed;
    for (std::size_t i = end - std::min(end, contextBeforeCount); i < end; ++i)
        typed.push_back(m_words[i].typed);
    return typed;
}

}  // namespace kx
