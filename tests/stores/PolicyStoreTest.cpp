#include "StoreTestSupport.h"

#include "platform/Text.h"
#include "stores/PolicyStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kx {
namespace {

struct PolicyFixture : ::testing::Test {
    test::CountingDefaults defaults;
    test::FakeWorkspace workspace;
    PolicyStore policy{defaults, workspace};
};

// No id, an empty id, an always-off and a disabled application are refused; others allowed.
TEST_F(PolicyFixture, WhereCorrectionsAreAllowed)
{
    policy.setEnabled(false, "org.gnome.gedit");
    const struct {
        std::optional<std::string> id;
        bool allowed;
    } rows[] = {
        {std::nullopt, false},          {"", false},
        {"org.gnome.Terminal", false},  {"XTerm", false},
        {"org.remmina.Remmina", false}, {"org.gnome.gedit", false},
        {"org.kde.kate", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(policy.isCorrectionAllowed(row.id), row.allowed) << row.id.value_or("<none>");
}

// Enabling an always-off application edits only the user's list: it stays refused and locked.
TEST_F(PolicyFixture, AlwaysOffCannotBeEnabled)
{
    policy.setEnabled(true, "kitty");

    EXPECT_FALSE(policy.isCorrectionAllowed("kitty"));
    const auto apps = policy.knownApps();
    const auto kitty = std::find_if(apps.begin(), apps.end(), [](const AppInfo& a) { return a.id == "kitty"; });
    ASSERT_NE(kitty, apps.end());
    EXPECT_FALSE(kitty->enabled);
    EXPECT_TRUE(kitty->hardDenied);
}

// Terminals the list does not name are always off all the same when their desktop entry says
// TerminalEmulator, under the entry's id or its window class, whatever the user's settings say.
TEST(PolicyStoreTerminals, DesktopEntryMakesATerminalAlwaysOff)
{
    const test::TempFolder folder{"kx-policy-entries"};
    const std::filesystem::path applications = folder.path() / "applications";
    test::StoreFolder::writeText(applications / "footerm.desktop",
                                 "[Desktop Entry]\nType=Application\nName=Foo Terminal\nExec=footerm\n"
                                 "StartupWMClass=Foo\nCategories=System;TerminalEmulator;\n");
    test::StoreFolder::writeText(applications / "fooedit.desktop",
                                 "[Desktop Entry]\nType=Application\nName=Foo Edit\nExec=fooedit\n"
                                 "StartupWMClass=FooEdit\nCategories=Utility;TextEditor;\n");
    test::CountingDefaults defaults;
    test::FakeWorkspace workspace;
    PolicyStore policy{defaults, workspace,
                       std::make_shared<platform::DesktopEntries>(std::vector{applications}, std::string())};

    policy.setEnabled(true, "Foo");
    policy.note("Foo", "Foo Terminal");
    for (const std::string id : {"Foo", "footerm"}) {
        EXPECT_TRUE(policy.isAlwaysOff(id)) << id;
        EXPECT_FALSE(policy.isCorrectionAllowed(id)) << id;
    }
    EXPECT_TRUE(policy.isCorrectionAllowed("FooEdit"));
    const auto apps = policy.knownApps();
    const auto foo = std::ranges::find(apps, std::string("Foo"), &AppInfo::id);
    ASSERT_NE(foo, apps.end());
    EXPECT_TRUE(foo->hardDenied);
    EXPECT_FALSE(foo->enabled);
}

// Remembering the same name twice writes the settings once; the disabled list is stored sorted.
TEST_F(PolicyFixture, WritesOnlyWhatChangedAndSortsTheList)
{
    policy.note("org.kde.kate", "Kate");
    policy.note("org.kde.kate", "Kate");
    policy.note(std::nullopt, "Kate");
    policy.note("org.kde.kate", "");
    EXPECT_EQ(defaults.writes, 1);

    policy.setEnabled(false, "b");
    policy.setEnabled(false, "a");
    EXPECT_EQ(defaults.stringArray(PolicyStore::disabledKey), (StringArray{"a", "b"}));
    policy.setEnabled(true, "b");
    EXPECT_EQ(defaults.stringArray(PolicyStore::disabledKey), (StringArray{"a"}));
}

// With nothing remembered, the known applications are exactly the always-off ones, sorted by name.
TEST_F(PolicyFixture, KnownAppsStartWithTheAlwaysOffSet)
{
    const auto apps = policy.knownApps();

    ASSERT_EQ(apps.size(), PolicyStore::hardDeny.size());
    for (const AppInfo& app : apps)
        EXPECT_TRUE(PolicyStore::hardDeny.contains(app.id)) << app.id;
    EXPECT_TRUE(std::is_sorted(apps.begin(), apps.end(), [](const AppInfo& a, const AppInfo& b) {
        return text::lowercased(a.name) < text::lowercased(b.name);
    }));
}

// Names come from memory, then the running application, then the id's last part; case is ignored.
TEST_F(PolicyFixture, KnownAppNamesAndOrder)
{
    defaults.values[PolicyStore::namesKey] = StringDictionary{{"org.kde.kate", "kate"}};
    policy.setEnabled(false, "com.example.Zed");
    policy.setEnabled(false, "running.app");
    policy.setEnabled(false, "chromium");
    policy.setEnabled(false, "weird.id.");
    workspace.running = {{.id = "running.app", .name = "Browser Éditions", .pid = 7, .executable = {}}};

    std::vector<std::string> mine;
    for (const AppInfo& app : policy.knownApps()) {
        if (!app.hardDenied)
            mine.push_back(app.name + (app.enabled ? "" : " off") + (app.usesClipboard ? " paste" : ""));
    }
    EXPECT_EQ(mine,
              (std::vector<std::string>{"Browser Éditions off", "chromium off paste", "id off", "kate", "Zed off"}));
}

// The applications that ran: those remembered, those the user disabled, and those running now;
// an always-off application that never ran is not among them.
TEST_F(PolicyFixture, AppsThatRan)
{
    policy.note("org.kde.kate", "Kate");
    policy.setEnabled(false, "com.example.Zed");
    workspace.running = {{.id = "XTerm", .name = "xterm", .pid = 7, .executable = {}}};
    EXPECT_EQ(policy.appsThatRan(), (std::set<std::string>{"XTerm", "com.example.Zed", "org.kde.kate"}));
}

// An Electron executable is recognised by its layout; the first answer holds for the process.
TEST_F(PolicyFixture, ElectronIsDetectedOnceAndCached)
{
    test::StoreFolder folder;
    const auto electronApp = folder.root / "opt" / "Chat";
    test::StoreFolder::writeText(electronApp / "chat", "");
    test::StoreFolder::writeText(electronApp / "resources.pak", "");
    test::StoreFolder::writeText(electronApp / "resources" / "app.asar", "");
    const auto plainApp = folder.root / "opt" / "Plain";
    test::StoreFolder::writeText(plainApp / "plain", "");
    test::StoreFolder::writeText(plainApp / "resources" / "app.asar", "");
    workspace.running = {{.id = "chat", .name = "Chat", .pid = 1, .executable = electronApp / "chat"},
                         {.id = "plain", .name = "Plain", .pid = 2, .executable = plainApp / "plain"}};

    EXPECT_TRUE(policy.isElectron("chat"));
    EXPECT_FALSE(policy.isElectron("plain"));  // no Chromium .pak files beside it
    EXPECT_FALSE(policy.isElectron("later"));

    std::filesystem::remove(electronApp / "resources" / "app.asar");
    workspace.running.push_back({.id = "later", .name = "Later", .pid = 3, .executable = plainApp / "later"});
    test::StoreFolder::writeText(plainApp / "v8_context_snapshot.pak", "");
    EXPECT_TRUE(policy.isElectron("chat"));
    EXPECT_FALSE(policy.isElectron("later"));
    EXPECT_TRUE(policy.usesClipboard("firefox-esr"));
    EXPECT_FALSE(policy.usesClipboard("plain"));
}

}  // namespace
}  // namespace kx
