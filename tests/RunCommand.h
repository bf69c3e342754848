#pragma once
// Running a shell command to its end, keeping its exit status and what it wrote to standard output.

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace kx::test {

struct CommandOutcome {
    std::string output;
    /// The exit status; -1 when the command could not start or did not exit.
    int status = -1;
};

/// Runs command through the shell; redirections in it choose which stream ends up in output.
inline CommandOutcome runCommand(const std::string& command)
{
    CommandOutcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return outcome;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        outcome.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

}  // namespace kx::test
