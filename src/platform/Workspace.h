#pragma once
// The desktop's applications: which one is in front, which are running, when another comes to the
// front; and opening a web page or file with the desktop's default handler.

#include "platform/Observable.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kx::platform {

struct RunningApplication {
    /// The desktop-entry id when one is found ("org.gnome.Terminal"), else the WM_CLASS class
    /// ("XTerm"); empty when neither is known.
    std::string id;
    /// The name shown to the user; empty when unknown.
    std::string name;
    /// 0 when unknown.
    int pid = 0;
    /// The program file the process runs; empty when unknown.
    std::filesystem::path executable;

    bool operator==(const RunningApplication&) const = default;
};

class Workspace {
public:
    virtual ~Workspace() = default;

    /// The application owning the active window; none when no window is active.
    virtual std::optional<RunningApplication> frontApplication() const = 0;
    /// The applications that have a window, the front one included, in no particular order.
    virtual std::vector<RunningApplication> runningApplications() const = 0;
    /// Calls notice on the main thread each time another application comes to the front.
    [[nodiscard]] virtual std::unique_ptr<Subscription>
    subscribeActivation(std::function<void(const RunningApplication&)> notice) = 0;
    /// Hands url to the desktop's default handler (xdg-open) without waiting for it. False when it
    /// could not be handed over. failed, when set, is called later on the main thread if the
    /// handler cannot be started or reports that it could not open url.
    virtual bool open(const std::string& url, std::function<void()> failed) = 0;
};

}  // namespace kx::platform
