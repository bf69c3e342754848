// The entry point: a command-line run that prints and exits, or the tray application.

#include "app/Application.h"
#include "app/ResourceCheck.h"
#include "controller/LaunchOptions.h"
#include "engine/Corpus.h"
#include "engine/NgramModel.h"
#include "engine/SelfTest.h"
#include "platform/Defaults.h"
#include "platform/HeadlessInputSources.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/x11/X11InputSources.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The session's layouts when there is a display, as the running program reads them; the
// environment's otherwise.
kx::platform::HeadlessInputSources commandLineSources()
{
    const char* display = std::getenv("DISPLAY");
    if (display && *display) {
        if (auto onDisplay = kx::platform::x11::X11InputSources::enabledOnDisplay())
            return kx::platform::HeadlessInputSources(std::move(*onDisplay));
    }
    return kx::platform::HeadlessInputSources();
}

int runCommandLine(kx::CommandLineRun run, const std::vector<std::string>& arguments)
{
    switch (run) {
    case kx::CommandLineRun::corpus: {
        auto sources = commandLineSources();
        kx::Corpus::run(std::cout, sources, kx::Corpus::scale(arguments));
        return 0;
    }
    case kx::CommandLineRun::checkResources:
        return kx::ResourceCheck::run();
    case kx::CommandLineRun::selftest: {
        auto sources = commandLineSources();
        kx::SelfTest::run(std::cout, sources);
        return 0;
    }
    case kx::CommandLineRun::help:
        std::cout << kx::LaunchOptions::usage(kx::Paths::shared());
        return 0;
    case kx::CommandLineRun::version:
        std::cout << "kestrelix " KX_VERSION "\n";
        return 0;
    case kx::CommandLineRun::none:
        break;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Refused before anything starts, as a mistyped option must not start the tray application.
    if (const auto unknown = kx::LaunchOptions::unknownArgument(arguments)) {
        std::cerr << "kestrelix: " << (unknown->starts_with('-') ? "unknown option" : "unexpected argument") << " '"
                  << *unknown << "'\nTry 'kestrelix --help' for more information.\n";
        return 2;
    }
    const auto run = kx::LaunchOptions::commandLineRun(arguments);
    if (run != kx::CommandLineRun::none) {
        const kx::JsonDefaults defaults(kx::Paths::shared().defaultsFile());
        kx::NgramModel::setDefaults(&defaults);
        const int status = runCommandLine(run, arguments);
        std::cout.flush();
        kx::Log::flush();
        return status;
    }

    // A launch empties the log once it starts; what the settings log before that waits for it.
    kx::Log::holdUntilReset();
    kx::LaunchOptions::shared() = kx::LaunchOptions::fromArguments(arguments);
    return kx::Application::run(argc, argv);
}
