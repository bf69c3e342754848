#pragma once
// Shared pieces of the store tests: a temporary folder for Paths, a workspace and a settings
// store that record what they are asked.

#include "platform/Defaults.h"
#include "platform/Paths.h"
#include "platform/Workspace.h"

#include "ScopedLog.h"
#include "TempFolder.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kx::test {

/// A temporary home for a store's files, with the log sent into it while the object lives.
struct StoreFolder {
    std::string logText() const { return log.text(); }

    static std::string readText(const std::filesystem::path& file)
    {
        std::ifstream input(file, std::ios::binary);
        std::ostringstream text;
        text << input.rdbuf();
        return text.str();
    }

    static void writeText(const std::filesystem::path& file, const std::string& text)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    TempFolder temporary{"kx-stores"};
    std::filesystem::path root = temporary.path();
    Paths paths = Paths::underRoot(root);
    ScopedLog log{paths.logFile()};
};

/// Settings in memory that count their writes.
class CountingDefaults final : public Defaults {
public:
    std::optional<DefaultsValue> value(const std::string& key) const override
    {
        const auto found = values.find(key);
        return found == values.end() ? std::nullopt : std::optional<DefaultsValue>(found->second);
    }

    std::map<std::string, DefaultsValue> values;
    int writes = 0;

protected:
    void store(const std::string& key, std::optional<DefaultsValue> value) override
    {
        ++writes;
        if (value)
            values.insert_or_assign(key, std::move(*value));
        else
            values.erase(key);
    }
};

class FakeWorkspace final : public platform::Workspace {
public:
    std::optional<platform::RunningApplication> frontApplication() const override { return front; }
    std::vector<platform::RunningApplication> runningApplications() const override { return running; }
    std::unique_ptr<Subscription>
    subscribeActivation(std::function<void(const platform::RunningApplication&)> notice) override
    {
        return activated.subscribe(std::move(notice));
    }
    bool open(const std::string& url, std::function<void()> failed) override
    {
        opened.push_back(url);
        if (opensFail && failed)
            failed();
        return true;
    }
    /// The desktop has no handler for what is opened.
    bool opensFail = false;

    std::optional<platform::RunningApplication> front;
    std::vector<platform::RunningApplication> running;
    Signal<platform::RunningApplication> activated;
    std::vector<std::string> opened;
};

}  // namespace kx::test
