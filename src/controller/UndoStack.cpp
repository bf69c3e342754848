#include "controller/UndoStack.h"

#include <utility>

namespace kx {

void UndoStack::push(LastCorrection entry, bool trim, int keyGen)
{
    m_entries.push_back(std::move(entry));
    if (trim && m_entries.size() > undoStackLimit)
        m_entries.erase(m_entries.begin(), m_entries.end() - static_cast<std::ptrdiff_t>(undoStackLimit));
    m_keyGenAtLastCorrection = keyGen;
}

bool UndoStack::cmdZApplies(int keyGen, double now) const
{
    return !m_entries.empty() && keyGen == m_keyGenAtLastCorrection && now - m_entries.back().at < cmdZWindow;
}

}  // namespace kx
