#include "platform/ResourceFolder.h"

#include <system_error>

namespace kx {

namespace {

bool isFolder(const std::filesystem::path& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

// The executable's own path, symbolic links resolved, so a link to the build tree's binary
// still finds the build tree's resources. Empty when /proc is not mounted.
std::filesystem::path runningExecutable()
{
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable;
}

}  // namespace

std::optional<std::filesystem::path> ResourceFolder::find()
{
    const std::filesystem::path executable = runningExecutable();
    // Installed, the data lies under the executable's own prefix (<prefix>/bin/kestrelix), which a
    // package may have put elsewhere than the prefix the build was configured with.
    const std::filesystem::path underPrefix = executable.parent_path().parent_path() / "share/kestrelix";
    if (!executable.empty() && executable.parent_path().filename() == "bin" && isFolder(underPrefix))
        return find(executable, underPrefix);
    return find(executable, KX_INSTALL_RESOURCE_DIR);
}

std::optional<std::filesystem::path> ResourceFolder::find(const std::filesystem::path& executable,
                                                          const std::filesystem::path& installDir)
{
    if (!executable.empty()) {
        const std::filesystem::path beside = executable.parent_path() / "resources";
        if (isFolder(beside))
            return beside;
    }
    if (isFolder(installDir))
        return installDir;
    return std::nullopt;
}

}  // namespace kx
