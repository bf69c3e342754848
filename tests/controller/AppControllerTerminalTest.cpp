// A terminal the always-off list does not name, known only by its desktop entry (the
// TerminalEmulator category) as the desktop knows it: nothing typed there is rewritten, and the
// conversion key never sends the copy chord, which would interrupt the program running there.

#include "ControllerHarness.h"

#include <cstdlib>
#include <optional>

namespace kx::test {
namespace {

// Points the desktop's data folders at a folder of the test's own while it lives.
class ScopedDataFolders {
public:
    explicit ScopedDataFolders(const std::filesystem::path& folder)
    {
        for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::setenv(name, folder.c_str(), 1);
        }
    }
    ~ScopedDataFolders()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }
    ScopedDataFolders(const ScopedDataFolders&) = delete;
    ScopedDataFolders& operator=(const ScopedDataFolders&) = delete;

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

class TerminalTest : public ControllerHarness {
protected:
    TerminalTest()
    {
        std::filesystem::create_directories(root / "share" / "applications");
        std::ofstream(root / "share" / "applications" / "footerm.desktop")
            << "[Desktop Entry]\nType=Application\nName=Foo Terminal\nExec=footerm\nStartupWMClass=Foo\n"
               "Categories=System;TerminalEmulator;\n";
    }

    ScopedDataFolders data{root / "share"};
    // Known to the window manager by its window class only.
    const sim::SimApplication foo{.id = "Foo", .name = "Foo", .pid = 700, .electron = false};
};

TEST_F(TerminalTest, WordTypedOnTheWrongLayoutStaysAsTyped)
{
    defaults.set("kestrelix.debugLogging", true);
    auto& app = startIn(CorrectionMode::automatic, foo);
    app.policy().setEnabled(true, foo.id);
    desk.type("cceav ");
    queue.advance(1.0);
    EXPECT_EQ(field().text(), "cceav ");
    EXPECT_EQ(desk.inputSources().currentName(), "us");
    EXPECT_TRUE(logHas("skip — correction not allowed in Foo"));
}

TEST_F(TerminalTest, ConversionKeyWithNothingToConvertSendsNoCopyChord)
{
    auto& app = startIn(CorrectionMode::manual, foo);
    field().setText("sleep 100");
    field().unreadable = true;
    desk.eventPoster().clearPosted();
    pressConvertKey();
    queue.advance(0.5);
    app.convertSelection();
    queue.advance(0.5);
    EXPECT_TRUE(desk.eventPoster().posted().empty()) << "a Ctrl+C went out";
    EXPECT_TRUE(logHas("no copy of the selection in Foo: Ctrl+C would interrupt there"));
    EXPECT_EQ(field().text(), "sleep 100");
}

}  // namespace
}  // namespace kx::test
