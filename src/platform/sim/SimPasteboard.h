#pragma once
// The general pasteboard in memory.

#include "platform/Pasteboard.h"

namespace kx::sim {

class SimPasteboard final : public platform::Pasteboard {
public:
    std::vector<platform::PasteboardItem> items() override { return m_items; }
    std::optional<std::vector<platform::PasteboardItem>> itemsWithin(double) override
    {
        return m_slowOwner ? std::nullopt : std::optional(m_items);
    }
    std::int64_t clearContents() override;
    bool writeItems(const std::vector<platform::PasteboardItem>& items) override;
    bool setString(const std::string& text) override;
    std::optional<std::string> string() override;
    std::int64_t changeCount() override { return m_changeCount; }

    /// Another application copies: the pasteboard then holds exactly these items.
    void copyFromElsewhere(const std::vector<platform::PasteboardItem>& items);
    /// The application that copied does not answer in time (it hangs, or its data is huge).
    void setSlowOwner(bool slow) { m_slowOwner = slow; }

private:
    std::vector<platform::PasteboardItem> m_items;
    std::int64_t m_changeCount = 0;
    bool m_slowOwner = false;
};

}  // namespace kx::sim
