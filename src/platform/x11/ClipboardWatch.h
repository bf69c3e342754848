#pragma once
// The CLIPBOARD selection seen straight from the X server, on a connection of its own: who takes
// it (XFixes), and its text read without the GUI thread. QClipboard learns of another owner only
// when the GUI thread runs its event loop; the pasteboard must know at once, also while that
// thread waits for a copy to land.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace kx::platform::x11 {

class ClipboardWatch {
public:
    /// Opens displayName (null: $DISPLAY). Without a display or XFixes, ok() is false and every
    /// answer is empty.
    explicit ClipboardWatch(const char* displayName = nullptr);
    ~ClipboardWatch();
    ClipboardWatch(const ClipboardWatch&) = delete;
    ClipboardWatch& operator=(const ClipboardWatch&) = delete;

    bool ok() const;
    /// Whether this process owns the selection, as the server says now; its owner window is
    /// remembered, so that this process's own writes are never counted as another's. Any thread.
    bool ownedHere();
    /// Whether a clipboard manager runs (someone owns CLIPBOARD_MANAGER). Any thread.
    bool managerRunning();
    /// How many times another client took or dropped the selection since the last call. Any thread.
    std::int64_t takeForeignChanges();
    /// The selection's text (UTF8_STRING), asked of its owner directly; none when it has none,
    /// refuses, or does not answer within timeout seconds. Any thread.
    std::optional<std::string> readText(double timeout);
    /// Every format of the selection, asked of its owner directly, named as Qt names them: the
    /// MIME types it offers, and its text as "text/plain". An empty item when there is no owner;
    /// none when not everything arrived within timeout seconds. Any thread.
    std::optional<std::map<std::string, std::string>> readAll(double timeout);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kx::platform::x11
