#include "platform/sim/SimPasteboard.h"

namespace kx::sim {

std::int64_t SimPasteboard::clearContents()
{
    m_items.clear();
    return ++m_changeCount;
}

bool SimPasteboard::writeItems(const std::vector<platform::PasteboardItem>& items)
{
    m_items.insert(m_items.end(), items.begin(), items.end());
    return true;
}

bool SimPasteboard::setString(const std::string& text)
{
    return writeItems({{{std::string(stringType), text}}});
}

std::optional<std::string> SimPasteboard::string()
{
    for (const auto& item : m_items) {
        if (const auto found = item.find(std::string(stringType)); found != item.end())
            return found->second;
    }
    return std::nullopt;
}

void SimPasteboard::copyFromElsewhere(const std::vector<platform::PasteboardItem>& items)
{
    clearContents();
    writeItems(items);
}

}  // namespace kx::sim
