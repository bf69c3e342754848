#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kx {

namespace {

std::filesystem::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return home;
    // Services started without a login environment may lack $HOME.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return "/";
}

// A relative value is ignored, as the XDG base directory rules require.
std::optional<std::filesystem::path> absoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return std::nullopt;
    return std::filesystem::path(value);
}

std::mutex sharedMutex;
std::optional<Paths> sharedPaths;

}  // namespace

Paths Paths::fromEnvironment()
{
    const std::filesystem::path home = homeFolder();
    Paths paths;
    paths.m_config = absoluteVariable("XDG_CONFIG_HOME").value_or(home / ".config");
    paths.m_state = absoluteVariable("XDG_STATE_HOME").value_or(home / ".local" / "state");
    paths.m_data = absoluteVariable("XDG_DATA_HOME").value_or(home / ".local" / "share");
    // XDG names no default for the runtime folder; the per-user one systemd makes is the usual.
    paths.m_runtime =
        absoluteVariable("XDG_RUNTIME_DIR").value_or(std::filesystem::path("/run/user") / std::to_string(getuid()));
    return paths;
}

Paths Paths::underRoot(const std::filesystem::path& root)
{
    Paths paths;
    paths.m_config = root / "config";
    paths.m_state = root / "state";
    paths.m_data = root / "data";
    paths.m_runtime = root / "runtime";
    return paths;
}

const Paths& Paths::shared()
{
    std::lock_guard lock(sharedMutex);
    if (!sharedPaths)
        sharedPaths = fromEnvironment();
    return *sharedPaths;
}

void Paths::setShared(const Paths& paths)
{
    std::lock_guard lock(sharedMutex);
    sharedPaths = paths;
}

std::filesystem::path Paths::defaultsFile() const
{
    return m_config / "kestrelix" / "defaults.json";
}

std::filesystem::path Paths::logFile() const
{
    return m_state / "kestrelix" / "kestrelix.log";
}

std::filesystem::path Paths::drillReportFile() const
{
    return m_state / "kestrelix" / "kestrelix-drill.txt";
}

std::filesystem::path Paths::historyFile() const
{
    return m_data / "kestrelix" / "history.json";
}

std::filesystem::path Paths::autostartFile() const
{
    return m_config / "autostart" / "kestrelix.desktop";
}

}  // namespace kx
