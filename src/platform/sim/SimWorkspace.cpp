#include "platform/sim/SimWorkspace.h"

#include "platform/Log.h"

#include <algorithm>
#include <fstream>
#include <stdlib.h>

namespace kx::sim {

SimWorkspace::SimWorkspace(MainQueue& mainQueue) : m_mainQueue(mainQueue) {}

SimWorkspace::~SimWorkspace()
{
    if (!m_programsFolder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_programsFolder, ignored);
    }
}

std::optional<platform::RunningApplication> SimWorkspace::frontApplication() const
{
    if (!m_front)
        return std::nullopt;
    const auto found = std::ranges::find(m_running, *m_front, &platform::RunningApplication::id);
    if (found == m_running.end())
        return std::nullopt;
    return *found;
}

std::vector<platform::RunningApplication> SimWorkspace::runningApplications() const
{
    return m_running;
}

std::unique_ptr<Subscription>
SimWorkspace::subscribeActivation(std::function<void(const platform::RunningApplication&)> notice)
{
    return m_activated->subscribe(std::move(notice));
}

bool SimWorkspace::open(const std::string& url, std::function<void()> failed)
{
    m_opened.push_back(url);
    if (opensFail && failed)
        m_mainQueue.async(std::move(failed));
    return true;
}

void SimWorkspace::launch(const SimApplication& app)
{
    std::erase_if(m_running, [&](const auto& running) { return running.id == app.id; });
    m_running.push_back({app.id, app.name, app.pid, programFile(app)});
}

void SimWorkspace::activate(const std::string& id)
{
    const auto found = std::ranges::find(m_running, id, &platform::RunningApplication::id);
    if (found == m_running.end() || m_front == id)
        return;
    m_front = id;
    if (!announcesActivation)
        return;
    // Activation is announced through the event loop, as the window manager's property change is.
    m_mainQueue.async([activated = std::weak_ptr(m_activated), app = *found] {
        if (const auto signal = activated.lock())
            signal->notify(app);
    });
}

void SimWorkspace::quit(const std::string& id)
{
    std::erase_if(m_running, [&](const auto& running) { return running.id == id; });
    if (m_front == id)
        m_front.reset();
}

// An Electron program ships resources/app.asar beside its executable, next to Chromium's .pak
// files; other programs get a path that holds nothing.
std::filesystem::path SimWorkspace::programFile(const SimApplication& app)
{
    if (!app.electron)
        return std::filesystem::path("/usr/bin") / app.id;
    if (m_programsFolder.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kx-sim-programs-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            Log::line("sim: cannot make a folder for Electron programs");
            return {};
        }
        m_programsFolder = pattern;
    }
    const auto folder = m_programsFolder / app.id;
    std::error_code error;
    std::filesystem::create_directories(folder / "resources", error);
    for (const auto& file : {folder / app.id, folder / "resources" / "app.asar", folder / "resources.pak"})
        std::ofstream(file).put('\n');
    return folder / app.id;
}

}  // namespace kx::sim
