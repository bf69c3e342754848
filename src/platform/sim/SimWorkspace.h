#pragma once
// The applications of the simulated desktop: which are running, which is in front, activation
// notices on the main queue, and the pages the program asked to open.

#include "platform/MainQueue.h"
#include "platform/Workspace.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kx::sim {

struct SimApplication {
    std::string id;  // "org.gnome.gedit"
    std::string name;
    int pid = 0;
    /// Built on Electron: its program folder is laid out as Electron's is.
    bool electron = false;
};

class SimWorkspace final : public platform::Workspace {
public:
    explicit SimWorkspace(MainQueue& mainQueue);
    ~SimWorkspace() override;
    SimWorkspace(const SimWorkspace&) = delete;
    SimWorkspace& operator=(const SimWorkspace&) = delete;

    std::optional<platform::RunningApplication> frontApplication() const override;
    std::vector<platform::RunningApplication> runningApplications() const override;
    std::unique_ptr<Subscription>
    subscribeActivation(std::function<void(const platform::RunningApplication&)> notice) override;
    /// Recorded in openedUrls(); always handed over. While opensFail is set, failed follows on
    /// the main queue.
    bool open(const std::string& url, std::function<void()> failed) override;

    /// Starts app (in the background). An id already running is replaced.
    void launch(const SimApplication& app);
    /// Brings a running application to the front; the notice follows on the main queue. An
    /// unknown id, or the front one, changes nothing.
    void activate(const std::string& id);
    /// Ends a running application; when it was in front, nothing is in front afterwards.
    void quit(const std::string& id);

    const std::vector<std::string>& openedUrls() const { return m_opened; }
    /// The desktop has no handler for what is opened.
    bool opensFail = false;
    /// Whether activate() is announced; a window manager may tell of a switch late or never.
    bool announcesActivation = true;

private:
    std::filesystem::path programFile(const SimApplication& app);

    MainQueue& m_mainQueue;
    std::vector<platform::RunningApplication> m_running;
    std::optional<std::string> m_front;
    std::vector<std::string> m_opened;
    std::filesystem::path m_programsFolder;  // made on the first Electron launch, removed at the end
    std::shared_ptr<Signal<const platform::RunningApplication&>> m_activated =
        std::make_shared<Signal<const platform::RunningApplication&>>();
};

}  // namespace kx::sim
