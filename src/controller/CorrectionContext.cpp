#include "controller/CorrectionContext.h"

#include "stores/HistoryStore.h"

#include <utility>

namespace kx {

CorrectionContext::CorrectionContext(MainQueue& main, HistoryStore& history,
                                     std::function<void(const std::string&)> debugLine)
    : m_main(main), m_history(history), m_debugLine(std::move(debugLine))
{}

void CorrectionContext::begin(std::string label)
{
    m_pending = PendingContext{std::move(label), {}, std::nullopt};
    // Replacing the handle cancels the older context's flush; flush() leaves it alone, as it may
    // run from the timer's own block.
    m_flushTimer = m_main.timer(contextFlushDelay, false, [this] { flush(); });
}

void CorrectionContext::attach(const Uuid& recordID)
{
    if (m_pending)
        m_pending->recordID = recordID;
}

void CorrectionContext::noteWord(const std::string& word)
{
    if (!m_pending)
        return;
    m_pending->after.push_back(word);
    if (m_pending->after.size() >= contextWindow)
        flush();
}

void CorrectionContext::flush()
{
    if (m_pending && !m_pending->after.empty()) {
        std::string quoted;
        for (const auto& word : m_pending->after)
            quoted += (quoted.empty() ? "'" : ", '") + word + "'";
        m_debugLine("  context after: " + quoted);
        if (m_pending->recordID)
            m_history.setContextAfter(m_pending->after, *m_pending->recordID);
    }
    m_pending.reset();
}

}  // namespace kx
