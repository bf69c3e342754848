#include "controller/ExactDeletion.h"

#include "platform/Text.h"

#include <algorithm>

namespace kx {

namespace {

// A field that keeps showing the text of before the Backspaces is not followed for ever, nor one
// whose Backspaces keep falling short.
constexpr int maxRereads = 8;
constexpr int maxRounds = 3;

// A scalar that belongs to the character before it: a combining mark or a joiner.
bool joinsCharacterBefore(char32_t c)
{
    return text::isMark(c) || c == U'\u200C' || c == U'\u200D';
}

bool endsWith(const std::u32string& s, std::u32string_view end)
{
    return s.size() >= end.size() && std::u32string_view(s).substr(s.size() - end.size()) == end;
}

}  // namespace

ExactDeletion::ExactDeletion(const std::optional<std::string>& before, const std::string& stale, int alreadyPosted)
{
    const std::u32string staleScalars = text::toScalars(stale);
    m_stale = staleScalars.size();
    if (before && endsWith(text::toScalars(*before), staleScalars)) {
        m_readable = true;
        m_before = text::toScalars(*before);
        std::size_t at = 0;
        for (const auto& character : text::characters(*before)) {
            m_clusterStarts.push_back(at);
            at += text::scalarCount(character);
        }
        const std::size_t staleStart = m_before.size() - m_stale;
        // The read may begin inside a character: its first cluster is dropped unless the stale
        // text begins in it.
        if (m_clusterStarts.size() >= 2 && staleStart >= 1 && m_clusterStarts[1] <= staleStart - 1) {
            const std::size_t cut = m_clusterStarts[1];
            m_before.erase(0, cut);
            m_clusterStarts.erase(m_clusterStarts.begin());
            for (auto& start : m_clusterStarts)
                start -= cut;
        }
        m_first = clustersAfterStaleStart(m_before.size());
        m_plain = static_cast<std::size_t>(m_first) == m_stale &&
                  (m_stale == 0 || std::ranges::binary_search(m_clusterStarts, m_before.size() - m_stale));
    } else {
        const auto characters = text::characters(stale);
        const bool leadingMark = !staleScalars.empty() && joinsCharacterBefore(staleScalars.front());
        m_plain = !leadingMark && characters.size() == m_stale;
        // A leading mark sits in the cluster of the character before the stale text: its
        // Backspace may take that character too, so it is left.
        m_first = static_cast<int>(characters.size()) - (leadingMark ? 1 : 0);
    }
    if (m_plain)
        m_first = static_cast<int>(m_stale);
    m_first = std::max(0, m_first - alreadyPosted);
    m_posted = m_first + alreadyPosted;
}

int ExactDeletion::readCount() const
{
    return static_cast<int>(text::utf16Count(text::fromScalars(m_before)));
}

int ExactDeletion::clustersAfterStaleStart(std::size_t keep) const
{
    const std::size_t staleStart = m_before.size() - m_stale;
    if (keep <= staleStart)
        return 0;
    const auto starts =
        std::ranges::count_if(m_clusterStarts, [&](std::size_t start) { return start >= staleStart && start < keep; });
    // The stale text begins inside a cluster (a mark on the character before): that cluster
    // takes a Backspace of its own.
    const bool straddled = !std::ranges::binary_search(m_clusterStarts, staleStart);
    return static_cast<int>(starts) + (straddled ? 1 : 0);
}

std::optional<std::size_t> ExactDeletion::removed(const std::u32string& shown) const
{
    // shown is the field's text before the caret: some earlier text, then before less what the
    // Backspaces took. Of the counts that fit, the first one every Backspace posted could have
    // made wins; while none fits that, the field is still at work.
    std::optional<std::size_t> below;
    const std::size_t posted = static_cast<std::size_t>(m_posted);
    for (std::size_t r = 0; r <= m_before.size(); ++r) {
        const std::size_t keep = m_before.size() - r;
        if (keep == 0 && !shown.empty())
            break;
        if (!endsWith(shown, std::u32string_view(m_before).substr(0, keep)))
            continue;
        if (r >= posted)
            return r;
        below = r;
    }
    return below;
}

ExactDeletion::Step ExactDeletion::next(const std::optional<std::string>& shown)
{
    if (!m_readable)
        return {};
    if (!shown)
        return {.kind = Step::Kind::lost};
    const auto r = removed(text::toScalars(*shown));
    if (!r)
        return {.kind = Step::Kind::lost};
    if (*r == m_stale)
        return {};
    // Short of what was posted, or not yet seen twice alike: Backspaces may still be on their way.
    if (*r < static_cast<std::size_t>(m_posted) || m_lastRemoved != r) {
        m_lastRemoved = r;
        if (++m_rereads > maxRereads)
            return {.kind = Step::Kind::lost};
        return {.kind = Step::Kind::reread};
    }
    if (*r > m_stale) {
        const std::size_t keep = m_before.size() - *r;
        return {.kind = Step::Kind::done, .restore = text::fromScalars(m_before.substr(keep, *r - m_stale))};
    }
    if (++m_rounds > maxRounds)
        return {.kind = Step::Kind::lost};
    // Every Backspace took one scalar, though a character of several was among them: this field
    // deletes scalars, and the rest goes a scalar a Backspace. Otherwise, the fewest any field needs.
    const std::size_t keep = m_before.size() - *r;
    const bool tookCluster =
        clustersAfterStaleStart(m_before.size()) - clustersAfterStaleStart(keep) < static_cast<int>(*r);
    const int more = *r == static_cast<std::size_t>(m_posted) && tookCluster ? static_cast<int>(m_stale - *r)
                                                                             : clustersAfterStaleStart(keep);
    m_posted += more;
    m_lastRemoved.reset();
    m_rereads = 0;
    return {.kind = Step::Kind::more, .backspaces = more};
}

}  // namespace kx
