// Ctrl+Z and Ctrl+Alt+K typed into a window that has just come to the front, before its
// application is known on the accessibility bus or while it never will be: the first reaches the
// window, the second is ours, and our own grabs of them are never taken for a password prompt's.

#include "KestrelixFixture.h"

#include <algorithm>
#include <chrono>

namespace kx::test {
namespace {

enum class Window { qt, gtk, withoutAccessibility };

class ChordsIntoNewWindowTest : public KestrelixFixture {
protected:
    // Starts a window that logs the chords it receives to keys, and waits until it is in front.
    pid_t openWindow(Window kind, const std::filesystem::path& keys)
    {
        const std::string log = keys.string();
        pid_t pid = -1;
        if (kind == Window::gtk)
            pid = DesktopSession::shared().start({"/usr/bin/python3", KX_GTK_PROBE, "--class", "KxGtk", "--keys", log});
        else
            pid = DesktopSession::shared().start({KX_DESKTOP_PROBE, "--class", "KxChords", "--keys", log},
                                                 kind == Window::qt ? qtAccessible : std::vector<std::string>{});
        const bool front = pid > 0 && DesktopSession::waitFor(
                                          [&] {
                                              const auto app = m_workspace->frontApplication();
                                              return app && app->pid == pid;
                                          },
                                          10);
        EXPECT_TRUE(front) << "the window did not come to the front";
        return front ? pid : -1;
    }

    static std::vector<std::string> chords(const std::filesystem::path& keys)
    {
        std::ifstream in(keys);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::size_t convertKeysLogged() const
    {
        const std::string text = log();
        std::size_t count = 0;
        for (auto at = text.find("⌥⌘K → "); at != std::string::npos; at = text.find("⌥⌘K → ", at + 1))
            ++count;
        return count;
    }

    // At each delay after a new window of kind came to the front: Ctrl+Z reaches it, Ctrl+Alt+K
    // is taken by the program; and the program never says another program holds the keyboard.
    void chordsAfterTheWindowAppears(Window kind)
    {
        startKestrelix();
        for (const double delay : {0.3, 0.5, 1.0}) {
            SCOPED_TRACE("typed " + std::to_string(delay) + " s after the window came to the front");
            const test::TempFolder folder("kx-chords");
            const auto keys = folder / "keys";
            const pid_t window = openWindow(kind, keys);
            ASSERT_GT(window, 0);
            const auto shown = std::chrono::steady_clock::now();
            DesktopSession::waitFor(
                [&] { return std::chrono::steady_clock::now() - shown >= std::chrono::duration<double>(delay); },
                delay + 1);

            m_user->tap(Keycode::z, {Keycode::control});
            EXPECT_TRUE(DesktopSession::waitFor([&] { return chords(keys) == std::vector<std::string>{"Ctrl+Z"}; }, 3))
                << "the window got: " << fileText(keys) << '\n'
                << log();

            const std::size_t converts = convertKeysLogged();
            m_user->tap(Keycode::k, {Keycode::control, Keycode::alt});
            EXPECT_TRUE(DesktopSession::waitFor([&] { return convertKeysLogged() == converts + 1; }, 3)) << log();
            // With nothing typed it converts the selection, which it copies first: the window
            // gets our Ctrl+C, never the chord.
            const auto got = chords(keys);
            EXPECT_EQ(std::ranges::count(got, "Ctrl+Alt+K"), 0) << "Ctrl+Alt+K is ours: " << fileText(keys);
            EXPECT_EQ(std::ranges::count(got, "Ctrl+Z"), 1) << fileText(keys);
            DesktopSession::shared().stop(window);
        }
        // The status watch looks every 2 s: a grab of ours taken for a prompt's would show by then.
        EXPECT_FALSE(DesktopSession::waitFor([&] { return log().find("secure input ON") != std::string::npos; }, 2.5))
            << log();
    }
};

TEST_F(ChordsIntoNewWindowTest, QtWindow)
{
    chordsAfterTheWindowAppears(Window::qt);
}

TEST_F(ChordsIntoNewWindowTest, GtkWindow)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no system Python for the GTK window";
    chordsAfterTheWindowAppears(Window::gtk);
}

TEST_F(ChordsIntoNewWindowTest, WindowWithoutAccessibility)
{
    chordsAfterTheWindowAppears(Window::withoutAccessibility);
}

}  // namespace
}  // namespace kx::test
