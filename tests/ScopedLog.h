#pragma once
// Sends the session log to a file of the test's own while the object lives, then back to where it
// went before, so a test reads only its own lines.

#include "platform/Log.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kx::test {

class ScopedLog {
public:
    explicit ScopedLog(std::filesystem::path file) : m_previous(Log::url()), m_file(std::move(file))
    {
        Log::setUrl(m_file);
    }
    ~ScopedLog()
    {
        Log::flush();
        Log::setUrl(m_previous);
    }
    ScopedLog(const ScopedLog&) = delete;
    ScopedLog& operator=(const ScopedLog&) = delete;

    const std::filesystem::path& file() const { return m_file; }

    /// Everything logged to the file so far.
    std::string text() const
    {
        Log::flush();
        std::ostringstream contents;
        contents << std::ifstream(m_file, std::ios::binary).rdbuf();
        return contents.str();
    }

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_file;
};

}  // namespace kx::test
