#include "platform/AutostartLoginItem.h"

#include "platform/Files.h"
#include "platform/Paths.h"

#include <fstream>
#include <string>
#include <system_error>
#include <utility>

namespace kx::platform {

namespace {

std::filesystem::path ownExecutable()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path("kestrelix") : path;
}

// The Exec key takes one quoted argument: inside the quotes ", `, $ and \ are escaped with a
// backslash, % is doubled, and the string value then escapes every backslash once more.
std::string execValue(const std::filesystem::path& program)
{
    std::string quoted = "\"";
    for (const char c : program.string()) {
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";
        else if (c == '\\')
            quoted += "\\\\\\";
        else if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

std::optional<Error> systemError(const std::string& what, const std::error_code& error)
{
    return Error{ErrorCode::io, what + ": " + error.message()};
}

}  // namespace

AutostartLoginItem::AutostartLoginItem(std::filesystem::path entry, std::filesystem::path executable)
    : m_entry(std::move(entry)), m_executable(std::move(executable))
{}

AutostartLoginItem::AutostartLoginItem() : AutostartLoginItem(Paths::shared().autostartFile(), ownExecutable()) {}

LoginItem::Status AutostartLoginItem::status() const
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(m_entry, error))
        return Status::notRegistered;
    std::ifstream input(m_entry);
    for (std::string line; std::getline(input, line);) {
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return Status::other;
    }
    return Status::enabled;
}

std::optional<Error> AutostartLoginItem::register_()
{
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Kestrelix\n"
                              "Comment=Fixes words typed on the wrong keyboard layout\n"
                              "Icon=kestrelix\n"
                              "Exec=" +
                              execValue(m_executable) +
                              "\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n";
    // A generated entry: a link in its place is replaced, never written through.
    if (const std::error_code error = files::replaceAtomically(m_entry, entry, files::Links::replace))
        return systemError("cannot write " + m_entry.string(), error);
    return std::nullopt;
}

std::optional<Error> AutostartLoginItem::unregister()
{
    std::error_code error;
    std::filesystem::remove(m_entry, error);
    if (error)
        return systemError("cannot remove " + m_entry.string(), error);
    return std::nullopt;
}

}  // namespace kx::platform
