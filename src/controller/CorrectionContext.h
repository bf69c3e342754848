#pragma once
// The words typed after a correction, kept until there are enough of them or the user has
// paused, then written into the correction's history record. Main thread only.

#include "platform/MainQueue.h"
#include "stores/CorrectionRecord.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kx {

class HistoryStore;

/// The words typed after the last correction, completing its history record.
struct PendingContext {
    std::string label;
    std::vector<std::string> after;
    std::optional<Uuid> recordID;
};

class CorrectionContext {
public:
    /// This many words after a correction complete its context.
    static constexpr std::size_t contextWindow = 3;
    /// A correction's context is closed this long after it began, however many words came.
    static constexpr double contextFlushDelay = 15.0;

    /// debugLine receives the debug log's line of the words once the context is flushed.
    CorrectionContext(MainQueue& main, HistoryStore& history, std::function<void(const std::string&)> debugLine);

    /// A correction logged as label: its context starts empty, closing the one before.
    void begin(std::string label);
    /// The correction just begun was recorded as recordID; nothing when no context is open.
    void attach(const Uuid& recordID);
    /// A word typed after the correction; the windowth word flushes.
    void noteWord(const std::string& word);
    /// Writes the words so far into the record and closes the context.
    void flush();

    const std::optional<PendingContext>& pending() const { return m_pending; }

private:
    MainQueue& m_main;
    HistoryStore& m_history;
    std::function<void(const std::string&)> m_debugLine;
    std::optional<PendingContext> m_pending;
    std::unique_ptr<TimerHandle> m_flushTimer;
};

}  // namespace kx
