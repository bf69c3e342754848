// The status menu's two forms: every item in order, read from the simulated desktop.

#include "controller/StatusMenu.h"
#include "engine/LanguageOracle.h"
#include "engine/LayoutRegistry.h"
#include "platform/Defaults.h"
#include "platform/VirtualMainQueue.h"
#include "platform/sim/SimDesktop.h"
#include "stores/PolicyStore.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kx::test {
namespace {

/// Judges only the languages it is given.
class ListedLanguages final : public LanguageOracle {
public:
    explicit ListedLanguages(std::set<std::string> languages) : m_languages(std::move(languages)) {}
    bool canCheck(const std::string& language) override { return m_languages.contains(language); }
    bool isMisspelled(const std::string&, const std::string&) override { return false; }
    bool isReliable(const std::string&) override { return true; }
    void warmUp(const std::vector<std::string>&) override {}
    Frequency frequency(const std::string&, const std::string&) override { return Frequency::noList(); }

private:
    std::set<std::string> m_languages;
};

/// One line per item: "---", "[HEADER]", "<row ...>", else the title with its badge or key, a check
/// mark, and "(off)" when disabled.
std::vector<std::string> lines(const StatusMenu& menu)
{
    std::vector<std::string> out;
    for (const auto& item : menu.items) {
        using Kind = MenuItem::Kind;
        if (item.kind == Kind::separator)
            out.push_back("---");
        else if (item.kind == Kind::header)
            out.push_back("[" + item.title + "]");
        else if (item.kind == Kind::secureInputBanner)
            out.push_back("<banner " + item.holder + (item.stuck ? " stuck>" : ">"));
        else if (item.kind == Kind::modeSelector)
            out.push_back("<mode " + std::string(item.mode.rawValue()) + ">");
        else if (item.kind == Kind::toggleRow)
            out.push_back("<" + item.title + (item.isOn ? " on>" : " off>"));
        else
            out.push_back(
                (item.checked ? "✔ " : "") + item.title + (item.badge.empty() ? "" : " {" + item.badge + "}") +
                (item.keyEquivalent.empty() ? "" : " <" + item.keyEquivalent + ">") + (item.enabled ? "" : " (off)"));
    }
    return out;
}

class StatusMenuTest : public ::testing::Test {
protected:
    StatusMenuTest() { desk.setLayouts({"us", "il", "ru"}); }

    std::vector<std::string> menu(bool secureInput = false, bool stuck = false)
    {
        registry.refresh();
        return lines(
            StatusMenu::build(StatusMenu::capture(desk.permissions(), desk.workspace(), registry, &oracle, policy,
                                                  CorrectionMode::ask, secureInput, "Passwords", stuck, ownPid)));
    }

    void bringToFront(const sim::SimApplication& app)
    {
        desk.launch(app);
        desk.activate(app.id);
        queue.runUntilIdle();
    }

    VirtualMainQueue queue;
    sim::SimDesktop desk{queue};
    MemoryDefaults defaults;
    PolicyStore policy{defaults, desk.workspace()};
    LayoutRegistry registry{desk.inputSources()};
    ListedLanguages oracle{{"en", "he"}};
    static constexpr int ownPid = 4242;
};

// With keyboard access missing the menu only leads to the setup, tells which part is there and
// names exactly what the display lacks; the program runs, so it is "off", never "not running".
TEST_F(StatusMenuTest, MissingPermissionShowsTheSetupForm)
{
    desk.permissions().inputMonitoring = false;
    desk.permissions().missingExtensions = {"XTEST", "RECORD"};
    EXPECT_EQ(menu(), (std::vector<std::string>{"Kestrelix — not running (off)", "---", "What Kestrelix needs (off)",
                                                "Set Up Kestrelix…", "  Accessibility ✓ (off)",
                                                "  Keyboard access — this display lacks XTEST and RECORD (off)", "---",
                                                "Quit Kestrelix"}));

    desk.permissions().inputMonitoring = true;
    desk.permissions().accessibility = false;
    const auto lines = menu();
    EXPECT_EQ(lines[4], "  Accessibility — not yet (off)");
    EXPECT_EQ(lines[5], "  Keyboard access ✓ (off)");
}

// The full form in order: the banner while Secure Input is on, the current layout checked, each
// layout with its script's letters or "no dictionary", the front application's switch last.
TEST_F(StatusMenuTest, FullFormListsEverythingInOrder)
{
    desk.switchLayout("il");
    bringToFront({.id = "org.gnome.gedit", .name = "Text Editor", .pid = 400});
    EXPECT_EQ(
        menu(true, true),
        (std::vector<std::string>{"<banner Passwords stuck>", "---", "[CORRECTION]", "<mode ask>", "---",
                                  "Swap Selection <Ctrl+Alt+K>", "[LANGUAGES]", "English (US) {AB}", "✔ Hebrew {אב}",
                                  "Russian {no dictionary}", "---", "How It Works", "Check for Updates…",
                                  "Report a Miss…", "Settings", "Quit Kestrelix", "---", "<Swap in Text Editor on>"}));
    // Showing the application remembers its name for the Apps tab.
    const auto known = policy.knownApps();
    EXPECT_TRUE(std::ranges::any_of(known, [](const AppInfo& app) { return app.name == "Text Editor"; }));
}

// An always-off terminal ends the menu with a disabled line, a disabled application shows its switch
// off, and an application without an id adds nothing after the quit item.
TEST_F(StatusMenuTest, FrontApplicationLine)
{
    bringToFront({.id = "org.gnome.Terminal", .name = "Terminal", .pid = 600});
    EXPECT_EQ(menu().back(), "Always off in Terminal (off)");

    bringToFront({.id = "org.gnome.gedit", .name = "", .pid = 400});
    policy.setEnabled(false, "org.gnome.gedit");
    EXPECT_EQ(menu().back(), "<Swap in org.gnome.gedit off>");

    bringToFront({.id = "", .name = "xeyes", .pid = 700});
    ASSERT_TRUE(desk.workspace().frontApplication());
    EXPECT_EQ(menu().back(), "Quit Kestrelix");

    // Kestrelix's own window in front: no switch for it, and it is not remembered as an application.
    bringToFront({.id = "kestrelix", .name = "Kestrelix", .pid = ownPid});
    EXPECT_EQ(menu().back(), "Quit Kestrelix");
    const auto known = policy.knownApps();
    EXPECT_FALSE(std::ranges::any_of(known, [](const AppInfo& app) { return app.id == "kestrelix"; }));
}

}  // namespace
}  // namespace kx::test
