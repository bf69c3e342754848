#include "stores/StoreTestSupport.h"

#include "controller/LoginItem.h"
#include "controller/Permissions.h"
#include "platform/AutostartLoginItem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kx {
namespace {

class FakeLoginItem final : public platform::LoginItem {
public:
    Status status() const override { return state; }
    std::optional<Error> register_() override { return change("register", Status::enabled); }
    std::optional<Error> unregister() override { return change("unregister", Status::notRegistered); }

    Status state = Status::notRegistered;
    std::optional<Error> refusal;
    std::vector<std::string> calls;

private:
    std::optional<Error> change(const char* call, Status to)
    {
        calls.push_back(call);
        if (!refusal)
            state = to;
        return refusal;
    }
};

// Asking for the state already in place does nothing and succeeds.
TEST(LoginItem, AlreadyInTheAskedStateDoesNothing)
{
    FakeLoginItem service;
    EXPECT_TRUE(LoginItem::setEnabled(service, false));
    service.state = platform::LoginItem::Status::enabled;
    EXPECT_TRUE(LoginItem::setEnabled(service, true));
    EXPECT_TRUE(service.calls.empty());

    service.state = platform::LoginItem::Status::other;
    EXPECT_TRUE(LoginItem::setEnabled(service, false));
    EXPECT_EQ(service.calls, std::vector<std::string>{"unregister"});
}

// A refusal is logged with the system's reason and answers false.
TEST(LoginItem, RefusalIsLoggedAndAnswersFalse)
{
    test::StoreFolder folder;
    FakeLoginItem service;
    service.refusal = Error{ErrorCode::denied, "Operation not permitted"};

    EXPECT_FALSE(LoginItem::setEnabled(service, true));
    EXPECT_NE(folder.logText().find("  login item toggle failed: Operation not permitted\n"), std::string::npos);
}

// The autostart entry appears when enabled, owner-only and starting the program, and goes when disabled.
TEST(LoginItem, AutostartEntryAppearsAndDisappears)
{
    test::StoreFolder folder;
    const auto entry = folder.paths.autostartFile();
    platform::AutostartLoginItem service(entry, "/opt/My Apps/kestrelix\"2\"");

    ASSERT_TRUE(LoginItem::setEnabled(service, true));
    EXPECT_EQ(service.status(), platform::LoginItem::Status::enabled);
    const std::string text = test::StoreFolder::readText(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nExec=\"/opt/My Apps/kestrelix\\\\\"2\\\\\"\"\n"), std::string::npos) << text;
    struct stat info {};
    ASSERT_EQ(::stat(entry.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ASSERT_TRUE(LoginItem::setEnabled(service, false));
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(service.status(), platform::LoginItem::Status::notRegistered);

    test::StoreFolder::writeText(entry, "[Desktop Entry]\nHidden=true\n");
    EXPECT_EQ(service.status(), platform::LoginItem::Status::other);
}

// An autostart folder that cannot be made reports the system's message.
TEST(LoginItem, UnwritableAutostartFolderFails)
{
    test::StoreFolder folder;
    test::StoreFolder::writeText(folder.paths.configHome() / "autostart", "a file where the folder belongs");
    platform::AutostartLoginItem service(folder.paths.autostartFile(), "/usr/bin/kestrelix");

    EXPECT_FALSE(LoginItem::setEnabled(service, true));
    EXPECT_NE(folder.logText().find("login item toggle failed: cannot write "), std::string::npos);
}

// Only texts that are URLs reach the desktop's handler.
TEST(Permissions, OpensOnlyUrls)
{
    test::FakeWorkspace workspace;
    for (const std::string& text :
         {std::string(Permissions::accessibilityPane), std::string("https://example.org/a?b=c"), std::string(""),
          std::string("no scheme"), std::string("-x:y"), std::string("help:two words"), std::string("file:/tmp/a\"b")})
        Permissions::open(workspace, text);

    EXPECT_EQ(workspace.opened, (std::vector<std::string>{"help:gnome-help/a11y", "https://example.org/a?b=c"}));
}

}  // namespace
}  // namespace kx
