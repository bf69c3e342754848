#pragma once
// What the command line asks of this process: one of the command-line runs, or the application
// with two launch options. Decided from the arguments alone, before anything else starts.

#include <optional>
#include <string>
#include <vector>

namespace kx {

/// The drill's pace; the drill itself keeps it as Drill::Pace.
enum class DrillPace { relaxed, fluent, hostile };

enum class CommandLineRun { none, corpus, checkResources, selftest };

struct LaunchOptions {
    /// --setup: show the walkthrough even when it was seen.
    bool forceSetup = false;
    /// --drill [relaxed|fluent|hostile]: start a drill once the interface is up.
    std::optional<DrillPace> drillPace;

    bool operator==(const LaunchOptions&) const = default;

    /// The first of --corpus, --check-resources, --selftest found, in that order of precedence.
    static CommandLineRun commandLineRun(const std::vector<std::string>& arguments);
    /// The options of the application; a missing or unknown pace after --drill is hostile.
    static LaunchOptions fromArguments(const std::vector<std::string>& arguments);

    /// The process-wide options, written by main before the application starts and read after.
    static LaunchOptions& shared();
};

}  // namespace kx
