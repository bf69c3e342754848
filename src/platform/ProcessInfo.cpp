#include "platform/ProcessInfo.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <signal.h>

namespace kx::platform::process {

namespace {

std::filesystem::path procFile(int pid, const char* name)
{
    return std::filesystem::path("/proc") / std::to_string(pid) / name;
}

std::string readAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::filesystem::path executable(int pid)
{
    if (pid <= 0)
        return {};
    std::error_code error;
    auto target = std::filesystem::read_symlink(procFile(pid, "exe"), error);
    return error ? std::filesystem::path() : target;
}

std::vector<std::string> arguments(int pid)
{
    if (pid <= 0)
        return {};
    const std::string all = readAll(procFile(pid, "cmdline"));
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < all.size()) {
        const auto end = all.find('\0', start);
        result.push_back(all.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return result;
}

bool isAlive(int pid)
{
    // kill(0) and kill(-1) would address process groups, not one process.
    if (pid <= 0)
        return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace kx::platform::process
