#pragma once
// Reads the journal a probe field keeps: one line per change of its text,
// "<CLOCK_MONOTONIC nanoseconds><TAB><text>", appended as the text changes.

#include "WordScore.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kx::bench {

class FieldJournal {
public:
    explicit FieldJournal(std::filesystem::path file) : m_file(std::move(file)) {}

    const std::filesystem::path& file() const { return m_file; }
    /// Reads the lines written since the last poll; whether there were any.
    bool poll();
    /// Whether the field has written its first line.
    bool started() const { return m_started; }
    /// The latest text and when the field wrote it (0 before the first line).
    const std::string& text() const { return m_text; }
    std::int64_t changedAt() const { return m_changedAt; }
    /// The snapshots read since the last take, in order.
    std::vector<Snapshot> take();

private:
    std::filesystem::path m_file;
    std::uintmax_t m_offset = 0;
    std::string m_partial;
    bool m_started = false;
    std::string m_text;
    std::int64_t m_changedAt = 0;
    std::vector<Snapshot> m_fresh;
};

}  // namespace kx::bench
