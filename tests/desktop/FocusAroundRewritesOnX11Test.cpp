// The real executable while the keyboard focus moves around what it does: the window a word was
// typed in goes before its rewrite is typed, and a hot key's grab takes the focus from a GTK
// window for the moment of the chord.

#include "KestrelixFixture.h"

#include <chrono>
#include <csignal>
#include <thread>

namespace kx {
namespace {

using test::DesktopSession;
using test::fileText;
using test::TextField;
namespace Keycode = test::Keycode;

class FocusAroundRewritesTest : public test::KestrelixFixture {
protected:
    // Returns as soon as the log holds text, polling it closely: the rewrite's own wait is short.
    bool logShowsSoon(const std::string& text, std::chrono::seconds within = std::chrono::seconds(3)) const
    {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (log().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

// A GTK entry in front holding text, all of it selected.
class GtkSelection {
public:
    explicit GtkSelection(const std::string& text)
    {
        m_pid = DesktopSession::shared().start(
            {"/usr/bin/python3", KX_GTK_PROBE, "--text", text, "--select", (m_folder / "text").string()}, {}, true);
    }
    ~GtkSelection()
    {
        if (m_pid > 0)
            DesktopSession::shared().stop(m_pid);
    }
    GtkSelection(const GtkSelection&) = delete;
    GtkSelection& operator=(const GtkSelection&) = delete;

    pid_t pid() const { return m_pid; }
    std::string text() const { return fileText(m_folder / "text"); }
    bool waitForText(const std::string& expected) const
    {
        return DesktopSession::waitFor([&] { return text() == expected; }, 3.0);
    }

private:
    test::TempFolder m_folder{"kx-gtk-selection"};
    pid_t m_pid = -1;
};

// The front window dies right after the Space that ended a wrong-layout word; the window behind,
// whose text cannot be read, takes the focus. The rewrite is abandoned, not typed over its text.
TEST_F(FocusAroundRewritesTest, RewriteOfAWindowThatDiedIsNotTypedIntoTheNext)
{
    startKestrelix();
    // Without accessibility: its text cannot be read, so only the focus tells it from the word's window.
    const TextField bystander("KxBystander", {"--text", "bystander text"});
    ASSERT_TRUE(bystander.ok());
    auto front = frontField("KxEditor");
    ASSERT_TRUE(front);

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(logShowsSoon("[automatic]")) << log();
    ::kill(front->pid(), SIGKILL);

    EXPECT_TRUE(DesktopSession::waitFor([&] { return log().find("rewrite abandoned") != std::string::npos; }, 3))
        << bystander.text() << '\n'
        << log();
    EXPECT_TRUE(rewriteOver()) << log();
    EXPECT_EQ(bystander.text(), "bystander text") << log();
}

// Ctrl+Alt+K sent all at once, as macro and remapping tools send it, over a selection in a GTK
// entry: the selection is read once GTK has its focus back, and converted.
TEST_F(FocusAroundRewritesTest, ChordSentAllAtOnceConvertsAGtkSelection)
{
    startKestrelix();
    const GtkSelection field("akuo jcrho");
    ASSERT_GT(field.pid(), 0) << "GTK 3 with Python bindings is needed (scripts/bootstrap installs them)";
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const auto app = m_workspace->frontApplication();
            return app && app->pid == field.pid();
        },
        5));

    m_user->tap(Keycode::k, {Keycode::control, Keycode::alt});
    EXPECT_TRUE(field.waitForText("שלום חברים")) << field.text() << '\n' << log();
    EXPECT_NE(log().find("⌥⌘K → selection"), std::string::npos) << log();
    EXPECT_TRUE(rewriteOver()) << log();
}

}  // namespace
}  // namespace kx
