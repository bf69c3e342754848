#include "FieldJournal.h"

#include <fstream>
#include <utility>

namespace kx::bench {

bool FieldJournal::poll()
{
    std::ifstream in(m_file, std::ios::binary);
    if (!in)
        return false;
    in.seekg(static_cast<std::streamoff>(m_offset));
    std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m_offset += chunk.size();
    m_partial += chunk;
    bool any = false;
    std::size_t end = 0;
    while ((end = m_partial.find('\n')) != std::string::npos) {
        const std::string line = m_partial.substr(0, end);
        m_partial.erase(0, end + 1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        m_started = true;
        m_changedAt = std::stoll(line.substr(0, tab));
        m_text = line.substr(tab + 1);
        m_fresh.push_back({m_changedAt, m_text});
        any = true;
    }
    return any;
}

std::vector<Snapshot> FieldJournal::take()
{
    return std::exchange(m_fresh, {});
}

}  // namespace kx::bench
