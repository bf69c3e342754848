// The executable's command-line runs, started as a user would start them.

#include "RunCommand.h"
#include "TempFolder.h"
#include "controller/LaunchOptions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace kx {
namespace {

namespace fs = std::filesystem;

using Outcome = test::CommandOutcome;

// Runs the executable through the shell with the given environment prefix, capturing stdout. No
// display: with one the layouts would be the session's, not the environment's.
Outcome run(const std::string& environment, const std::string& executable, const std::string& arguments)
{
    return test::runCommand("env -u DISPLAY " + environment + " '" + executable + "' " + arguments + " 2>/dev/null");
}

Outcome kestrelix(const std::string& layouts, const std::string& arguments)
{
    return run("XKB_DEFAULT_LAYOUT=" + layouts, KX_EXECUTABLE, arguments);
}

// A copy of the executable in a folder of its own, with exactly the resources given.
class IsolatedExecutable {
public:
    explicit IsolatedExecutable(const std::vector<std::string>& resources)
    {
        fs::copy_file(KX_EXECUTABLE, m_folder / "kestrelix");
        if (resources.empty())
            return;
        fs::create_directory(m_folder / "resources");
        for (const auto& name : resources)
            fs::copy_file(fs::path(KX_EXECUTABLE).parent_path() / "resources" / name, m_folder / "resources" / name);
    }
    std::string path() const { return (m_folder / "kestrelix").string(); }

private:
    test::TempFolder m_folder{"kx-app"};
};

// The build tree's resource folder holds every list and image the check asks for.
TEST(CommandLine, ResourceCheckPassesOnTheBuildTree)
{
    const Outcome outcome = kestrelix("us,il", "--check-resources");
    EXPECT_EQ(outcome.output, "resources ok\n");
    EXPECT_EQ(outcome.status, 0);
}

// Missing resources are all named, in the fixed order, with exit status 1.
TEST(CommandLine, ResourceCheckNamesWhatIsMissingInOrder)
{
    IsolatedExecutable bare({});
    Outcome outcome = run("XKB_DEFAULT_LAYOUT=us", bare.path(), "--check-resources");
    if (fs::exists(KX_INSTALL_RESOURCE_DIR))
        GTEST_SKIP() << "an installed copy provides the resources";
    EXPECT_EQ(outcome.output,
              "MISSING: freq-en.txt, freq-he.txt, freq-ar.txt, kestrelix_logo.png, kestrelix_mono.png\n");
    EXPECT_EQ(outcome.status, 1);

    IsolatedExecutable partial({"freq-he.txt", "kestrelix_logo.png"});
    outcome = run("XKB_DEFAULT_LAYOUT=us", partial.path(), "--check-resources");
    EXPECT_EQ(outcome.output, "MISSING: freq-en.txt, freq-ar.txt, kestrelix_mono.png\n");
    EXPECT_EQ(outcome.status, 1);
}

// Installed under any prefix, the program finds its resources there, beside its desktop entry and
// its icon in the hicolor theme.
TEST(CommandLine, InstalledCopyFindsItsResources)
{
    const test::TempFolder root{"kx-install"};
    const Outcome install =
        test::runCommand("DESTDIR='" + root.path().string() +
                         "' '" KX_CMAKE_COMMAND "' --install '" KX_BUILD_DIR "' --prefix /opt/kx >/dev/null 2>&1");
    ASSERT_EQ(install.status, 0);
    const fs::path prefix = root / "opt/kx";
    std::ostringstream entry;
    entry << std::ifstream(prefix / "share/applications/kestrelix.desktop").rdbuf();
    for (const char* line : {"Name=Kestrelix\n", "Exec=kestrelix\n", "Icon=kestrelix\n", "Categories=Utility;\n"})
        EXPECT_NE(entry.str().find(line), std::string::npos) << line;
    for (const char* icon : {"16x16/apps/kestrelix.png", "48x48/apps/kestrelix.png", "128x128/apps/kestrelix.png",
                             "scalable/apps/kestrelix.svg"})
        EXPECT_TRUE(fs::is_regular_file(prefix / "share/icons/hicolor" / icon)) << icon;

    const Outcome check = run("XKB_DEFAULT_LAYOUT=us", (prefix / "bin/kestrelix").string(), "--check-resources");
    EXPECT_EQ(check.output, "resources ok\n");
    EXPECT_EQ(check.status, 0);
}

// With one layout the corpus run prints only its two fixed lines.
TEST(CommandLine, CorpusWithOneLayoutNeedsTwo)
{
    const Outcome outcome = kestrelix("us", "--corpus");
    EXPECT_EQ(outcome.output, "mode: thorough\nneed 2+ layouts\n");
    EXPECT_EQ(outcome.status, 0);
}

// The first switch in the fixed order wins: --corpus before --selftest, whatever their places.
TEST(CommandLine, CorpusWinsOverSelfTest)
{
    const Outcome outcome = kestrelix("us", "--selftest --corpus");
    EXPECT_EQ(outcome.output, "mode: thorough\nneed 2+ layouts\n");
    EXPECT_EQ(outcome.status, 0);
}

// The self-test on us and il shows the Hebrew reading of "akuo" and a run decision.
TEST(CommandLine, SelfTestPrintsItsBlocksInOrder)
{
    const Outcome outcome = kestrelix("us,il", "--selftest");
    EXPECT_EQ(outcome.status, 0);
    const auto layouts = outcome.output.find("enabled layouts: [\"English (US)[en]\", \"Hebrew[he]\"]");
    const auto akuo = outcome.output.find("typed via English (US): 'akuo'\n  via Hebrew: '\u05e9\u05dc\u05d5\u05dd'");
    const auto hello = outcome.output.find("DECISION: '\u05d9\u05e7\u05da\u05da\u05dd' -> 'hello'");
    const auto run = outcome.output.find("RUN DECISION: 3 words");
    ASSERT_NE(layouts, std::string::npos) << outcome.output;
    ASSERT_NE(akuo, std::string::npos) << outcome.output;
    ASSERT_NE(hello, std::string::npos) << outcome.output;
    ASSERT_NE(run, std::string::npos) << outcome.output;
    EXPECT_LT(layouts, akuo);
    EXPECT_LT(akuo, hello);
    EXPECT_LT(hello, run);
}

// --help and --version answer on standard output and exit 0, with or without a display, and never
// start the tray application (a display that does not exist would make it fail instead).
TEST(CommandLine, HelpAndVersionAnswerAndExit)
{
    const std::string exe = "'" + std::string(KX_EXECUTABLE) + "'";
    for (const char* environment : {"env -u DISPLAY", "DISPLAY=:kx-none"}) {
        const Outcome help =
            test::runCommand(std::string(environment) + " XDG_STATE_HOME=/kx/state " + exe + " --setup --help 2>&1");
        EXPECT_EQ(help.status, 0) << environment;
        EXPECT_TRUE(help.output.starts_with("Usage: kestrelix")) << help.output;
        for (const char* part :
             {"--corpus", "--check-resources", "--selftest", "--drill", "--setup", "/kx/state/kestrelix/kestrelix.log"})
            EXPECT_NE(help.output.find(part), std::string::npos) << part;

        const Outcome version = test::runCommand(std::string(environment) + " " + exe + " --version 2>&1");
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.output, "kestrelix " KX_VERSION "\n");
    }
}

// A mistyped option is refused with status 2 and a message on standard error, before any run or
// the application starts: not even a valid run beside it goes ahead.
TEST(CommandLine, UnknownOptionIsRefused)
{
    const std::string exe = "'" + std::string(KX_EXECUTABLE) + "'";
    for (const char* arguments : {"--corpsu", "--selftest --corpsu", "-x"}) {
        const Outcome out = test::runCommand("DISPLAY=:kx-none " + exe + " " + arguments + " 2>/dev/null");
        EXPECT_EQ(out.status, 2) << arguments;
        EXPECT_EQ(out.output, "") << arguments;
    }
    const Outcome err = test::runCommand("DISPLAY=:kx-none " + exe + " --corpsu 2>&1 >/dev/null");
    EXPECT_EQ(err.output, "kestrelix: unknown option '--corpsu'\nTry 'kestrelix --help' for more information.\n");
    const Outcome stray = test::runCommand("DISPLAY=:kx-none " + exe + " corpus 2>&1 >/dev/null");
    EXPECT_EQ(stray.status, 2);
    EXPECT_EQ(stray.output.substr(0, stray.output.find('\n')), "kestrelix: unexpected argument 'corpus'");
}

// Which arguments the program takes: the switches, a pace after --drill, a scale with --corpus.
TEST(LaunchOptionsTest, UnknownArgument)
{
    struct Row {
        std::vector<std::string> arguments;
        std::optional<std::string> unknown;
    };
    const Row rows[] = {
        {{}, std::nullopt},
        {{"--drill", "slow", "--setup"}, std::nullopt},
        {{"--drill", "--setup"}, std::nullopt},
        {{"--drill", "--fast"}, "--fast"},
        {{"--corpus", "3"}, std::nullopt},
        {{"3", "--corpus"}, std::nullopt},
        {{"--selftest", "3"}, "3"},
        {{"--corpus", "3x"}, "3x"},
        {{"--setup", "--Setup"}, "--Setup"},
        {{"--help", "--verbose"}, "--verbose"},
        {{"-"}, "-"},
        {{"--setup", "extra"}, "extra"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LaunchOptions::unknownArgument(row.arguments), row.unknown)
            << ::testing::PrintToString(row.arguments);
    EXPECT_EQ(LaunchOptions::commandLineRun({"--corpus", "--version", "-h"}), CommandLineRun::help);
    EXPECT_EQ(LaunchOptions::commandLineRun({"--selftest", "--version"}), CommandLineRun::version);
}

// Launch options: --drill takes the next argument as its pace, anything else is hostile.
TEST(LaunchOptionsTest, DrillPaceAndSetup)
{
    struct Row {
        std::vector<std::string> arguments;
        LaunchOptions expected;
    };
    const Row rows[] = {
        {{}, {}},
        {{"--drill"}, {.drillPace = DrillPace::hostile}},
        {{"--drill", "slow"}, {.drillPace = DrillPace::hostile}},
        {{"--drill", "relaxed"}, {.drillPace = DrillPace::relaxed}},
        {{"--drill", "fluent", "--setup"}, {.forceSetup = true, .drillPace = DrillPace::fluent}},
        {{"--setup", "--drill", "--setup"}, {.forceSetup = true, .drillPace = DrillPace::hostile}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LaunchOptions::fromArguments(row.arguments), row.expected) << ::testing::PrintToString(row.arguments);
    EXPECT_EQ(LaunchOptions::commandLineRun({"--setup", "--selftest", "--check-resources"}),
              CommandLineRun::checkResources);
    EXPECT_EQ(LaunchOptions::commandLineRun({"--drill", "fluent"}), CommandLineRun::none);
}

}  // namespace
}  // namespace kx
