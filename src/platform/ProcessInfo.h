#pragma once
// What /proc tells about a process: the program it runs, its arguments, whether it exists.

#include <filesystem>
#include <string>
#include <vector>

namespace kx::platform::process {

/// The program file the process runs (/proc/<pid>/exe); empty when it cannot be read (another
/// user's process, a kernel thread, a pid that does not exist).
std::filesystem::path executable(int pid);
/// The command-line arguments, program first; empty when they cannot be read.
std::vector<std::string> arguments(int pid);
/// Whether the process exists: also true when it exists but may not be signalled (another user's).
bool isAlive(int pid);

}  // namespace kx::platform::process
