#pragma once
// The general pasteboard as the X11 CLIPBOARD selection, through QClipboard. X11 has one item of
// many formats, so items() gives at most one item and the items written after clearContents()
// are merged into one (the first data written for a type wins). Any thread: calls from other
// threads run on the GUI thread and wait for it.

#include "platform/Pasteboard.h"

#include <filesystem>
#include <memory>

namespace kx::platform::x11 {

class QtPasteboard final : public Pasteboard {
public:
    /// Create it on the GUI thread, after QGuiApplication.
    QtPasteboard();
    ~QtPasteboard() override;
    QtPasteboard(const QtPasteboard&) = delete;
    QtPasteboard& operator=(const QtPasteboard&) = delete;

    /// Every format but the selection protocol's own (TARGETS, TIMESTAMP, ...), whose data could
    /// be read; empty also when the GUI thread did not answer in time.
    std::vector<PasteboardItem> items() override;
    /// Another application's formats are asked of it directly, each within what is left of the
    /// time, so a hung owner or a huge image cannot keep the caller for Qt's 5 s per format.
    std::optional<std::vector<PasteboardItem>> itemsWithin(double seconds) override;
    std::int64_t clearContents() override;
    bool writeItems(const std::vector<PasteboardItem>& items) override;
    /// Also offered as plain text (UTF8_STRING and friends), so every application can paste it.
    bool setString(const std::string& text) override;
    /// Another application's text is asked of it directly (any thread, the GUI thread free or not).
    std::optional<std::string> string() override;
    /// Moves at our own clearContents() and whenever another writer (another application, or
    /// another part of this one) takes the clipboard; another application's copy shows at once,
    /// even while the GUI thread is busy. Any thread; one round trip to the X server.
    std::int64_t changeCount() override;

    /// At quit, on the GUI thread: when the clipboard is ours with data in it and no clipboard
    /// manager runs to take it from Qt on the way out, hands it to a keeper process of ours, so
    /// that quitting does not empty it; keeper is its executable. True when the keeper has it.
    bool keepAfterQuit(const std::filesystem::path& keeper);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kx::platform::x11
