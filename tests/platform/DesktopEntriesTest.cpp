#include "platform/DesktopEntries.h"
#include "platform/ProcessInfo.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace kx::platform {
namespace {

void writeEntry(const std::filesystem::path& file, const std::string& contents)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << contents;
}

// Parsing keeps the main group only, follows the language, and finds the program past env.
TEST(DesktopEntries, ParsesTheMainGroup)
{
    const auto entry = DesktopEntries::parse("# comment\n"
                                             "[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=Text Editor\n"
                                             "Name[de]=Texteditor\n"
                                             "Exec=env GTK_THEME=dark \"/opt/my editor/bin/gedit\" %U\n"
                                             "StartupWMClass=Gedit\n"
                                             "[Desktop Action new]\n"
                                             "Name=New Window\n"
                                             "Exec=other\n",
                                             "org.gnome.gedit", "de_AT");
    ASSERT_TRUE(entry);
    EXPECT_EQ(*entry, (DesktopEntry{"org.gnome.gedit", "Texteditor", "Gedit", "gedit", false}));
    EXPECT_EQ(DesktopEntries::parse("[Desktop Entry]\nType=Application\nName=X\nName[de]=Y\n", "x", "")->name, "X");
}

// An entry in the TerminalEmulator category is a terminal, wherever in the list it stands and with
// or without the closing ';'; a category that only begins with that name is not.
TEST(DesktopEntries, TerminalEmulatorCategoryMarksATerminal)
{
    const auto terminal = [](const std::string& categories) {
        return DesktopEntries::parse("[Desktop Entry]\nType=Application\nName=T\nCategories=" + categories + "\n", "t",
                                     "")
            ->terminal;
    };
    EXPECT_TRUE(terminal("System;TerminalEmulator;"));
    EXPECT_TRUE(terminal("TerminalEmulator"));
    EXPECT_TRUE(terminal("GTK; TerminalEmulator ;Utility;"));
    EXPECT_FALSE(terminal("System;TerminalEmulators;"));
    EXPECT_FALSE(terminal("Utility;TextEditor;"));
    EXPECT_FALSE(terminal(""));
}

// Links, hidden entries and other groups are not applications.
TEST(DesktopEntries, SkipsWhatIsNotAVisibleApplication)
{
    EXPECT_FALSE(DesktopEntries::parse("[Desktop Entry]\nType=Link\nName=Web\n", "web", ""));
    EXPECT_FALSE(DesktopEntries::parse("[Desktop Entry]\nType=Application\nHidden=true\nName=A\n", "a", ""));
    EXPECT_FALSE(DesktopEntries::parse("[Other]\nType=Application\nName=A\n", "a", ""));
}

class DesktopEntriesMatch : public ::testing::Test {
protected:
    test::TempFolder root{"kx-entries"};
    std::filesystem::path user = root / "user/applications";
    std::filesystem::path system = root / "system/applications";

    void SetUp() override
    {
        writeEntry(system / "org.gnome.Terminal.desktop",
                   "[Desktop Entry]\nType=Application\nName=Terminal\nExec=gnome-terminal\n");
        writeEntry(system / "kde/org.kde.kate.desktop",
                   "[Desktop Entry]\nType=Application\nName=Kate\nExec=kate -b %U\nStartupWMClass=kate\n");
        writeEntry(system / "one.desktop", "[Desktop Entry]\nType=Application\nName=One\nExec=python3 one.py\n");
        writeEntry(system / "two.desktop", "[Desktop Entry]\nType=Application\nName=Two\nExec=python3 two.py\n");
    }
    DesktopEntries entries() { return DesktopEntries({user, system}, ""); }
};

// Each clue finds its entry, the GTK application id first, and sub-folders give dashed ids.
TEST_F(DesktopEntriesMatch, CluesFindTheirEntry)
{
    auto all = entries();
    EXPECT_EQ(all.match({.gtkApplicationId = "org.gnome.Terminal", .wmClass = "kate"})->id, "org.gnome.Terminal");
    EXPECT_EQ(all.match({.wmClass = "Kate", .wmInstance = "kate"})->id, "kde-org.kde.kate");
    EXPECT_EQ(all.match({.programs = {"gnome-terminal-server", "gnome-terminal"}})->name, "Terminal");
    EXPECT_FALSE(all.match({.wmClass = "XTerm", .wmInstance = "xterm", .programs = {"xterm"}}));
}

// An entry's text comes from a regular file of sane size only: a FIFO never stalls the reader.
TEST_F(DesktopEntriesMatch, OnlyRegularEntriesOfSaneSizeAreRead)
{
    std::filesystem::create_directories(user);
    ASSERT_EQ(::mkfifo((user / "fifo.desktop").c_str(), 0600), 0);
    EXPECT_EQ(DesktopEntries::read(user / "fifo.desktop"), "");
    writeEntry(user / "huge.desktop", "[Desktop Entry]\nName=" + std::string(2 << 20, 'x') + "\n");
    EXPECT_EQ(DesktopEntries::read(user / "huge.desktop"), "");
    EXPECT_EQ(DesktopEntries::read(system / "one.desktop").substr(0, 15), "[Desktop Entry]");
    EXPECT_EQ(entries().match({.wmClass = "Fifo"}), std::nullopt);
}

// A program that several entries start (an interpreter) names none of them, nor does the one entry
// that runs it in a terminal (Debian's "Python (v3.11)"): a GTK script run by python3.11 is no
// interpreter window, and is named by its own WM class instead.
TEST_F(DesktopEntriesMatch, SharedProgramIsNoClue)
{
    EXPECT_FALSE(entries().match({.programs = {"python3"}}));
    writeEntry(system / "debian-python.desktop", "[Desktop Entry]\nType=Application\nName=Python (v3.11)\n"
                                                 "Exec=/usr/bin/python3.11\nTerminal=true\nNoDisplay=true\n");
    auto all = entries();
    EXPECT_FALSE(all.match({.wmClass = "Kxgtk", .wmInstance = "kxgtk", .programs = {"python3.11", "python3"}}));
    EXPECT_FALSE(all.find("python3.11"));
    EXPECT_EQ(all.find("debian-python")->name, "Python (v3.11)") << "its own id still finds it";
}

// The user's entry hides the system's of the same id, even when it hides the application.
TEST_F(DesktopEntriesMatch, UserEntryWinsAndCanHide)
{
    auto all = entries();
    writeEntry(user / "org.gnome.Terminal.desktop",
               "[Desktop Entry]\nType=Application\nName=My Terminal\nExec=gnome-terminal\n");
    EXPECT_EQ(all.match({.gtkApplicationId = "org.gnome.Terminal"})->name, "My Terminal");

    writeEntry(user / "org.kde.kate.desktop", "[Desktop Entry]\nType=Application\nHidden=true\n");
    std::filesystem::remove(system / "kde/org.kde.kate.desktop");
    writeEntry(system / "org.kde.kate.desktop", "[Desktop Entry]\nType=Application\nName=Kate\nStartupWMClass=kate\n");
    EXPECT_FALSE(DesktopEntries({user, system}, "").match({.wmClass = "kate"}));
}

// An application installed while we run is found without a restart.
TEST_F(DesktopEntriesMatch, NewEntriesAreSeen)
{
    auto all = entries();
    EXPECT_FALSE(all.match({.wmClass = "Gimp"}));
    writeEntry(user / "gimp.desktop", "[Desktop Entry]\nType=Application\nName=GIMP\nStartupWMClass=Gimp\n");
    EXPECT_EQ(all.match({.wmClass = "Gimp"})->id, "gimp");
}

// An application id finds its entry by id, WM class or the only program, whatever its case.
TEST_F(DesktopEntriesMatch, FindIgnoresCase)
{
    auto all = entries();
    EXPECT_EQ(all.find("ORG.GNOME.TERMINAL")->id, "org.gnome.Terminal");
    EXPECT_EQ(all.find("Kate")->id, "kde-org.kde.kate");
    EXPECT_EQ(all.find("Gnome-terminal")->id, "org.gnome.Terminal");
    EXPECT_FALSE(all.find("Python3")) << "a shared program names no entry";
    EXPECT_FALSE(all.find("xterm"));
    EXPECT_FALSE(all.find(""));
}

// A pid of 0 or below is no process: kill() would address a whole process group instead.
TEST(ProcessInfo, OnlyRealPidsAreAlive)
{
    EXPECT_TRUE(process::isAlive(::getpid()));
    EXPECT_FALSE(process::isAlive(0));
    EXPECT_FALSE(process::isAlive(-1));
    EXPECT_EQ(process::executable(::getpid()), std::filesystem::read_symlink("/proc/self/exe"));
}

}  // namespace
}  // namespace kx::platform
