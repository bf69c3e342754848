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
    // Ctrl+Alt+K as xdotool sends "ctrl+alt+k": the three keys pressed together, let go together
    // a few milliseconds later.
    void chordAllAtOnce()
    {
        for (const unsigned keycode : {Keycode::control, Keycode::alt, Keycode::k})
            m_user->setKey(keycode, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(6));
        for (const unsigned keycode : {Keycode::k, Keycode::alt, Keycode::control})
            m_user->setKey(keycode, false);
    }
};

// A GTK entry in front holding text, all of it selected unless told otherwise; withAccessibility
// false: one that cannot be read.
class GtkEntry {
public:
    explicit GtkEntry(const std::string& text, bool selected = true, bool withAccessibility = true)
    {
        std::vector<std::string> argv = {"/usr/bin/python3", KX_GTK_PROBE, "--text", text};
        if (selected)
            argv.push_back("--select");
        argv.push_back((m_folder / "text").string());
        m_pid = DesktopSession::shared().start(
            argv, withAccessibility ? std::vector<std::string>{} : std::vector<std::string>{"NO_AT_BRIDGE=1"}, true);
    }
    ~GtkEntry()
    {
        if (m_pid > 0)
            DesktopSession::shared().stop(m_pid);
    }
    GtkEntry(const GtkEntry&) = delete;
    GtkEntry& operator=(const GtkEntry&) = delete;

    pid_t pid() const { return m_pid; }
    std::string text() const { return fileText(m_folder / "text"); }
    bool waitForText(const std::string& expected) const
    {
        return DesktopSession::waitFor([&] { return text() == expected; }, 3.0);
    }

private:
    test::TempFolder m_folder{"kx-gtk-entry"};
    pid_t m_pid = -1;
};

// The front window dies right after the Space that ended a wrong-layout word; the window behind
// takes the focus. Its text cannot be read, as when the read before the rewrite meets the dying
// window, so only the focus tells it from the word's window. The rewrite is abandoned.
TEST_F(FocusAroundRewritesTest, RewriteOfAWindowThatDiedIsNotTypedIntoTheNext)
{
    startKestrelix();
    const GtkEntry bystander("bystander text", false, false);
    ASSERT_GT(bystander.pid(), 0) << "GTK 3 with Python bindings is needed (scripts/bootstrap installs them)";
    auto front = frontField("KxEditor");
    ASSERT_TRUE(front);

    m_user->typeKeys("cceav ");
    ASSERT_TRUE(logShowsSoon("[automatic]")) << log();
    ::kill(front->pid(), SIGKILL);

    EXPECT_TRUE(DesktopSession::waitFor(
        [&] { return log().find("rewrite abandoned: the keyboard focus left") != std::string::npos; }, 3))
        << bystander.text() << '\n'
        << log();
    EXPECT_TRUE(rewriteOver()) << log();
    EXPECT_EQ(bystander.text(), "bystander text") << log();
}

// Ctrl+Alt+K sent all at once, as macro and remapping tools send it, over a selection in a GTK
// entry: the selection is read once GTK has its focus back, and converted, each time.
TEST_F(FocusAroundRewritesTest, ChordSentAllAtOnceConvertsAGtkSelection)
{
    startKestrelix();
    for (int round = 1; round <= 3; ++round) {
        const std::size_t answers = focusAnswers();
        const GtkEntry field("akuo jcrho");
        ASSERT_GT(field.pid(), 0) << "GTK 3 with Python bindings is needed (scripts/bootstrap installs them)";
        ASSERT_TRUE(DesktopSession::waitFor(
            [&] {
                const auto app = m_workspace->frontApplication();
                return app && app->pid == field.pid();
            },
            5));
        // The new window's focus is looked up, as a user's first key there would wait for.
        ASSERT_TRUE(DesktopSession::waitFor([&] { return focusAnswers() > answers; }, 3)) << log();
        chordAllAtOnce();
        ASSERT_TRUE(field.waitForText("שלום חברים")) << "round " << round << ": " << field.text() << '\n' << log();
        ASSERT_TRUE(rewriteOver()) << log();
    }
    EXPECT_EQ(log().find("⌥⌘K → nothing to do"), std::string::npos) << log();
}

}  // namespace
}  // namespace kx
