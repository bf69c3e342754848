#include "platform/UnsavedFiles.h"

#include "platform/Log.h"

#include <algorithm>
#include <iostream>

namespace kx {

UnsavedFiles& UnsavedFiles::shared()
{
    static UnsavedFiles files;
    return files;
}

void UnsavedFiles::note(std::string_view owner, const std::filesystem::path& file, std::error_code error)
{
    std::string firstLine;
    {
        std::lock_guard lock(m_mutex);
        const auto known = std::ranges::find(m_failures, file, &Failure::file);
        if (!error) {
            if (known == m_failures.end())
                return;
            m_failures.erase(known);
        } else if (known != m_failures.end()) {
            if (known->reason == error.message())
                return;
            known->reason = error.message();
        } else {
            if (m_failures.empty())
                firstLine = std::string(owner) + ": cannot write " + file.string() + ": " + error.message() +
                            "; settings and history are kept in memory only, until the program quits";
            m_failures.push_back({file, error.message()});
        }
    }
    if (!firstLine.empty()) {
        // The log may sit on the same full disk: standard error is the line that gets through.
        std::cerr << "Kestrelix: " << firstLine << std::endl;
        Log::line(firstLine);
    }
    changed.notify();
}

std::vector<UnsavedFiles::Failure> UnsavedFiles::failures() const
{
    std::lock_guard lock(m_mutex);
    return m_failures;
}

}  // namespace kx
