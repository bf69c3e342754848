#pragma once
// What the command line asks of this process: one of the command-line runs, or the application
// with two launch options. Decided from the arguments alone, before anything else starts.

#include <optional>
#include <string>
#include <vector>

namespace kx {

class Paths;

/// The drill's pace; the drill itself keeps it as Drill::Pace.
enum class DrillPace { relaxed, fluent, hostile };

enum class CommandLineRun { none, corpus, checkResources, selftest, help, version };

struct LaunchOptions {
    /// --setup: show the walkthrough even when it was seen.
    bool forceSetup = false;
    /// --drill [relaxed|fluent|hostile]: start a drill once the interface is up.
    std::optional<DrillPace> drillPace;

    bool operator==(const LaunchOptions&) const = default;

    /// --help (or -h), then --version, then the first of --corpus, --check-resources, --selftest
    /// found, in that order of precedence.
    static CommandLineRun commandLineRun(const std::vector<std::string>& arguments);
    /// The first argument this program does not take, or none. Taken: the switches, the word after
    /// --drill unless it is an option itself, and with --corpus a whole number (its scale).
    static std::optional<std::string> unknownArgument(const std::vector<std::string>& arguments);
    /// The options of the application; a missing or unknown pace after --drill is hostile.
    static LaunchOptions fromArguments(const std::vector<std::string>& arguments);
    /// What --help prints: how to start each run, and where the files are under paths.
    static std::string usage(const Paths& paths);

    /// The process-wide options, written by main before the application starts and read after.
    static LaunchOptions& shared();
};

}  // namespace kx
