#pragma once
// The login item as an XDG autostart entry: the desktop starts every program that has a desktop
// entry in $XDG_CONFIG_HOME/autostart when the user logs in.

#include "platform/LoginItem.h"

#include <filesystem>

namespace kx::platform {

class AutostartLoginItem final : public LoginItem {
public:
    /// entry: Paths::shared().autostartFile() in the application; executable: the program to start.
    AutostartLoginItem(std::filesystem::path entry, std::filesystem::path executable);
    /// The entry of Paths::shared(), starting this process's own executable.
    AutostartLoginItem();

    /// enabled when our entry exists, `other` when it exists but the desktop is told to skip it.
    Status status() const override;
    std::optional<Error> register_() override;
    /// A missing entry counts as success.
    std::optional<Error> unregister() override;

private:
    std::filesystem::path m_entry;
    std::filesystem::path m_executable;
};

}  // namespace kx::platform
