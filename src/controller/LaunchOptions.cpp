#include "controller/LaunchOptions.h"

#include <algorithm>

namespace kx {

namespace {
bool contains(const std::vector<std::string>& arguments, const char* flag)
{
    return std::find(arguments.begin(), arguments.end(), flag) != arguments.end();
}
}  // namespace

CommandLineRun LaunchOptions::commandLineRun(const std::vector<std::string>& arguments)
{
    if (contains(arguments, "--corpus"))
        return CommandLineRun::corpus;
    if (contains(arguments, "--check-resources"))
        return CommandLineRun::checkResources;
    if (contains(arguments, "--selftest"))
        return CommandLineRun::selftest;
    return CommandLineRun::none;
}

LaunchOptions LaunchOptions::fromArguments(const std::vector<std::string>& arguments)
{
    LaunchOptions options;
    const auto drill = std::find(arguments.begin(), arguments.end(), "--drill");
    if (drill != arguments.end()) {
        const std::string pace = std::next(drill) != arguments.end() ? *std::next(drill) : "";
        if (pace == "relaxed")
            options.drillPace = DrillPace::relaxed;
        else if (pace == "fluent")
            options.drillPace = DrillPace::fluent;
        else
            options.drillPace = DrillPace::hostile;
    }
    options.forceSetup = contains(arguments, "--setup");
    return options;
}

LaunchOptions& LaunchOptions::shared()
{
    static LaunchOptions options;
    return options;
}

}  // namespace kx
