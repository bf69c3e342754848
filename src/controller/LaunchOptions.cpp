#include "controller/LaunchOptions.h"

#include "platform/Paths.h"

#include <algorithm>
#include <charconv>

namespace kx {

namespace {
bool contains(const std::vector<std::string>& arguments, const char* flag)
{
    return std::find(arguments.begin(), arguments.end(), flag) != arguments.end();
}

bool isWholeNumber(const std::string& argument)
{
    // The corpus reads its scale the same way: an optional sign and decimal digits.
    std::string_view digits = argument;
    if (digits.starts_with('+') || digits.starts_with('-'))
        digits.remove_prefix(1);
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}
}  // namespace

CommandLineRun LaunchOptions::commandLineRun(const std::vector<std::string>& arguments)
{
    if (contains(arguments, "--help") || contains(arguments, "-h"))
        return CommandLineRun::help;
    if (contains(arguments, "--version"))
        return CommandLineRun::version;
    if (contains(arguments, "--corpus"))
        return CommandLineRun::corpus;
    if (contains(arguments, "--check-resources"))
        return CommandLineRun::checkResources;
    if (contains(arguments, "--selftest"))
        return CommandLineRun::selftest;
    return CommandLineRun::none;
}

std::optional<std::string> LaunchOptions::unknownArgument(const std::vector<std::string>& arguments)
{
    static const std::vector<std::string> switches = {
        "--help", "-h", "--version", "--corpus", "--check-resources", "--selftest", "--drill", "--setup"};
    const bool corpus = contains(arguments, "--corpus");
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (std::find(switches.begin(), switches.end(), argument) != switches.end())
            continue;
        const bool paceOfDrill = i > 0 && arguments[i - 1] == "--drill" && !argument.starts_with('-');
        if (paceOfDrill || (corpus && isWholeNumber(argument)))
            continue;
        return argument;
    }
    return std::nullopt;
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

std::string LaunchOptions::usage(const Paths& paths)
{
    return "Usage: kestrelix [--setup] [--drill [relaxed|fluent|hostile]]\n"
           "       kestrelix --corpus [SCALE] | --check-resources | --selftest\n"
           "       kestrelix --help | --version\n"
           "\n"
           "Without a run, Kestrelix starts in the panel's tray and fixes words typed\n"
           "on the wrong keyboard layout (X11 sessions only).\n"
           "  --setup            show the walkthrough of the three modes again\n"
           "  --drill [PACE]     open the typing drill and run it at PACE (hostile)\n"
           "\n"
           "Runs that print their result and exit, without a display:\n"
           "  --corpus [SCALE]   measure the decisions on the enabled layouts; SCALE,\n"
           "                     a whole number (1), multiplies the words tried\n"
           "  --check-resources  say whether the word lists and images are found\n"
           "  --selftest         type fixed keys through the engine, print its decisions\n"
           "Without a display the layouts come from XKB_DEFAULT_LAYOUT and\n"
           "XKB_DEFAULT_VARIANT.\n"
           "\n"
           "Files (the session log is emptied at each start, the history is kept only\n"
           "in troubleshooting mode):\n"
           "  settings      " +
           paths.defaultsFile().string() +
           "\n"
           "  session log   " +
           paths.logFile().string() +
           "\n"
           "  drill report  " +
           paths.drillReportFile().string() +
           "\n"
           "  history       " +
           paths.historyFile().string() + "\n";
}

LaunchOptions& LaunchOptions::shared()
{
    static LaunchOptions options;
    return options;
}

}  // namespace kx
