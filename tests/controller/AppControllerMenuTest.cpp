// The status menu and the Secure Input watch, as the running controller keeps them up to date.

#include "ControllerHarness.h"

namespace kx::test {
namespace {

class StatusMenuScenario : public ControllerHarness {};

// A password field turns the glyph and the menu to Secure Input; a gone holder is stuck; a mode change shows.
TEST_F(StatusMenuScenario, SecureInputReachesGlyphAndMenu)
{
    auto& app = startIn(CorrectionMode::automatic);
    ASSERT_FALSE(statusItem.menu.items.empty());
    EXPECT_EQ(statusItem.menu.items.front().title, "CORRECTION");
    EXPECT_EQ(statusItem.menu.items.back().title, "Swap in Text Editor");

    desk.secureInput().turnOn(400);
    queue.advance(2.0);
    EXPECT_TRUE(app.runtimeStatus().secureInputActive);
    EXPECT_EQ(statusItem.glyph->tooltip,
              "Kestrelix is paused here — a password field, or another program holding the keyboard");
    EXPECT_TRUE(statusItem.glyph->appearsDisabled);
    EXPECT_EQ(statusItem.menu.items.front().kind, MenuItem::Kind::secureInputBanner);
    EXPECT_EQ(statusItem.menu.items.front().holder, "Text Editor");

    desk.workspace().quit("org.gnome.gedit");
    queue.advance(2.0);
    EXPECT_TRUE(app.runtimeStatus().secureInputStuck);
    EXPECT_TRUE(statusItem.menu.items.front().stuck);
    EXPECT_EQ(statusItem.menu.items.front().holder, "Text Editor");

    desk.secureInput().turnOff();
    queue.advance(2.0);
    EXPECT_FALSE(statusItem.glyph->appearsDisabled);
    EXPECT_TRUE(logHas("secure input OFF — Kestrelix can see keystrokes again"));

    app.performMenuCommand({.action = MenuAction::setCorrectionMode, .mode = CorrectionMode::manual});
    EXPECT_EQ(app.behavior().correctionMode(), CorrectionMode::manual);
    EXPECT_EQ(statusItem.glyph->tooltip, "Manual mode — Ctrl+Alt+K fixes the run you just typed");
}

// Every application worked in reaches the Apps tab at the next refresh, also while the menu stays
// closed and is never built.
TEST_F(StatusMenuScenario, FrontApplicationsAreNotedWithTheMenuClosed)
{
    statusItem.open = false;
    auto& app = startIn(CorrectionMode::automatic);
    desk.launch(firefox);
    desk.activate(firefox.id);
    queue.advance(2.0);
    const auto known = app.policy().knownApps();
    EXPECT_TRUE(std::ranges::any_of(known, [](const AppInfo& info) { return info.name == "Firefox"; }));
    EXPECT_EQ(statusItem.menu.items.back().title, "Swap in Text Editor") << "the closed menu was built again";
}

// The glyph's tooltip follows the mode and names the conversion hot key as the desktop spells it.
TEST_F(StatusMenuScenario, GlyphTooltipFollowsTheMode)
{
    auto& app = startIn(CorrectionMode::automatic);
    ASSERT_TRUE(statusItem.glyph);
    EXPECT_EQ(*statusItem.glyph, (StatusGlyph{false, GlyphTint::none, false, "Kestrelix is on"}));
    app.performMenuCommand({.action = MenuAction::setCorrectionMode, .mode = CorrectionMode::ask});
    EXPECT_EQ(statusItem.glyph->tooltip, "Ask mode — Ctrl+Alt+K applies a suggested swap");
    app.performMenuCommand({.action = MenuAction::setCorrectionMode, .mode = CorrectionMode::manual});
    EXPECT_EQ(statusItem.glyph->tooltip, "Manual mode — Ctrl+Alt+K fixes the run you just typed");
}

// A second flash replaces the first one's text; the glyph comes back 1.4 s after the first.
TEST_F(StatusMenuScenario, SecondFlashReplacesTheTextUntilTheFirstRestore)
{
    auto& app = startIn(CorrectionMode::automatic);
    app.flash("one");
    queue.advance(1.0);
    app.flash("two");
    EXPECT_EQ(statusItem.title, "two");
    queue.advance(0.39);
    EXPECT_EQ(statusItem.title, "two");
    queue.advance(0.02);
    EXPECT_EQ(statusItem.title, "");
    EXPECT_EQ(statusItem.glyph->tooltip, "Kestrelix is on");
}

// The menu shows the permission form until both permissions are granted; the tooltip says which
// part of the desktop is missing.
TEST_F(StatusMenuScenario, PermissionFormUntilGranted)
{
    desk.permissions().inputMonitoring = false;
    desk.permissions().accessibility = false;
    startIn(CorrectionMode::automatic);
    EXPECT_EQ(statusItem.menu.items.front().title, "Kestrelix — not running");
    EXPECT_EQ(statusItem.glyph->tooltip, "Kestrelix is off — it needs keyboard access and accessibility");
    desk.permissions().accessibility = true;
    queue.advance(2.0);
    EXPECT_EQ(statusItem.glyph->tooltip, "Kestrelix is off — this display lacks RECORD");
    desk.permissions().missingExtensions = {"XTEST", "RECORD"};
    queue.advance(2.0);
    EXPECT_EQ(statusItem.glyph->tooltip, "Kestrelix is off — this display lacks XTEST and RECORD");
    desk.permissions().inputMonitoring = true;
    queue.advance(2.0);
    EXPECT_EQ(statusItem.menu.items.front().title, "CORRECTION");
}

}  // namespace
}  // namespace kx::test
