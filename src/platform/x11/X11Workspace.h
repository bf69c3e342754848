#pragma once
// The workspace of an X11 desktop under an EWMH window manager: the front application is the one
// owning _NET_ACTIVE_WINDOW, running applications are the owners of _NET_CLIENT_LIST, and each is
// named by its desktop entry when one matches, else by WM_CLASS.

#include "platform/DesktopEntries.h"
#include "platform/Workspace.h"

#include <memory>
#include <string>

namespace kx::platform::x11 {

class X11Workspace final : public Workspace {
public:
    /// Opens its own connection to displayName (null: $DISPLAY). Create it on the thread that runs
    /// the Qt event loop: activation notices are read there. Without a display every answer is
    /// empty and it says so in the log once. entries: null for the standard folders.
    explicit X11Workspace(const char* displayName = nullptr, std::unique_ptr<DesktopEntries> entries = nullptr);
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    std::optional<RunningApplication> frontApplication() const override;
    std::vector<RunningApplication> runningApplications() const override;
    /// A notice only when the front application changes, not for another window of the same one.
    std::unique_ptr<Subscription> subscribeActivation(std::function<void(const RunningApplication&)> notice) override;
    /// Starts xdg-open detached. False for an empty text, one that xdg-open would take for an
    /// option ("-..."), or when it cannot be started.
    bool open(const std::string& url, std::function<void()> failed) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kx::platform::x11
