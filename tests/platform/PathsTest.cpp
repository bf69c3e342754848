#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace kx {
namespace {

// Sets environment variables for one test and puts the old values back.
class Environment {
public:
    ~Environment()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void set(const std::string& name, const char* value)
    {
        if (!m_saved.contains(name)) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

// XDG variables are used when absolute; unset or relative ones fall back to the folders under $HOME.
TEST(PathsTest, followsXdgBaseDirectories)
{
    Environment environment;
    environment.set("HOME", "/home/ada");
    environment.set("XDG_CONFIG_HOME", "/cfg");
    environment.set("XDG_STATE_HOME", "relative/state");
    environment.set("XDG_DATA_HOME", nullptr);
    environment.set("XDG_RUNTIME_DIR", "/run/user/1000");
    const Paths paths = Paths::fromEnvironment();
    EXPECT_EQ(paths.defaultsFile(), "/cfg/kestrelix/defaults.json");
    EXPECT_EQ(paths.autostartFile(), "/cfg/autostart/kestrelix.desktop");
    EXPECT_EQ(paths.logFile(), "/home/ada/.local/state/kestrelix/kestrelix.log");
    EXPECT_EQ(paths.drillReportFile(), "/home/ada/.local/state/kestrelix/kestrelix-drill.txt");
    EXPECT_EQ(paths.historyFile(), "/home/ada/.local/share/kestrelix/history.json");
    EXPECT_EQ(paths.runtimeDir(), "/run/user/1000");
}

}  // namespace
}  // namespace kx
