// One instance per X server: the lock itself on the test server, and the real executable kept out
// however its second start names the display and whoever starts it.

#include "KestrelixFixture.h"
#include "RunCommand.h"
#include "platform/x11/X11InstanceLock.h"

#include <X11/Xatom.h>

#include <cstddef>
#include <cstring>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kx {
namespace {

using platform::LockResult;
using platform::x11::X11InstanceLock;
using test::DesktopSession;
using test::homeVariables;

constexpr const char* instanceName = "app.kestrelix.instance";
constexpr const char* refusal = "Kestrelix: another instance is already running — exiting\n";

// A runtime folder as a session makes it: the user's own, 0700.
std::string ownRuntimeFolder(const test::TempFolder& folder)
{
    return "XDG_RUNTIME_DIR=" + folder.path().string();
}

// The display named as the X libraries also accept it: the same server, through its local socket.
std::string unixSpelling()
{
    return "unix/" + DesktopSession::shared().display();
}

// Runs executable to its end (10 s at most) after prefix, with these variables set, keeping
// standard error.
test::CommandOutcome runToEnd(const std::vector<std::string>& variables, const std::string& prefix = {},
                              const std::string& executable = KX_EXECUTABLE)
{
    std::string command = prefix + " env";
    for (const auto& variable : variables)
        command += " '" + variable + "'";
    return test::runCommand(command + " timeout 10 '" + executable + "' 2>&1 >/dev/null");
}

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
    }
    test::TempFolder m_runtime{"kx-runtime"};
};

// The claim is announced to the root window as ICCCM asks of a manager selection, and a client
// that asks for the selection's contents gets a refusal instead of waiting forever.
TEST_F(InstanceLockTest, ClaimIsAnnouncedAndRequestsAreRefused)
{
    Display* observer = XOpenDisplay(nullptr);
    ASSERT_NE(observer, nullptr);
    const Window root = RootWindow(observer, 0);
    XSelectInput(observer, root, StructureNotifyMask);
    XSync(observer, False);

    X11InstanceLock lock(nullptr, m_runtime.path());
    ASSERT_EQ(lock.tryAcquire(instanceName), LockResult::acquired);
    ASSERT_GE(lock.fd(), 0);
    const Atom selection = XInternAtom(observer, "app.kestrelix.instance_S0", False);
    const Atom manager = XInternAtom(observer, "MANAGER", False);
    XEvent event{};
    bool announced = false;
    while (!announced && XCheckTypedWindowEvent(observer, root, ClientMessage, &event))
        announced = event.xclient.message_type == manager && static_cast<Atom>(event.xclient.data.l[1]) == selection &&
                    static_cast<Window>(event.xclient.data.l[2]) == XGetSelectionOwner(observer, selection);
    EXPECT_TRUE(announced);

    const Window requestor = XCreateSimpleWindow(observer, root, 0, 0, 1, 1, 0, 0, 0);
    XConvertSelection(observer, selection, XA_STRING, XInternAtom(observer, "KX_PROBE", False), requestor, CurrentTime);
    XFlush(observer);
    bool answered = false;
    DesktopSession::waitFor(
        [&] {
            lock.answerRequests();
            answered = XCheckTypedWindowEvent(observer, requestor, SelectionNotify, &event);
            return answered;
        },
        5);
    ASSERT_TRUE(answered);
    EXPECT_EQ(event.xselection.property, static_cast<Atom>(None));
    XCloseDisplay(observer);
}

// A claim refused because another instance holds the selection leaves it with that instance:
// the refused one never takes it over, not even for as long as it runs.
TEST_F(InstanceLockTest, RefusedClaimLeavesTheSelectionWithItsHolder)
{
    X11InstanceLock first(nullptr, m_runtime.path());
    ASSERT_EQ(first.tryAcquire(instanceName), LockResult::acquired);
    Display* observer = XOpenDisplay(nullptr);
    ASSERT_NE(observer, nullptr);
    const Atom selection = XInternAtom(observer, "app.kestrelix.instance_S0", False);
    const Window holder = XGetSelectionOwner(observer, selection);
    ASSERT_NE(holder, static_cast<Window>(None));

    const test::TempFolder otherRuntime("kx-runtime");
    X11InstanceLock second(nullptr, otherRuntime.path());
    EXPECT_EQ(second.tryAcquire(instanceName), LockResult::heldElsewhere);
    EXPECT_NE(second.holder().find("pid " + std::to_string(::getpid())), std::string::npos) << second.holder();
    EXPECT_EQ(XGetSelectionOwner(observer, selection), holder);
    EXPECT_GE(first.fd(), 0);
    XCloseDisplay(observer);
}

class SecondInstanceTest : public test::KestrelixFixture {
protected:
    // The line that follows the refusal names the running instance by its pid.
    std::string holderLine() const { return "Kestrelix: it is held by pid " + std::to_string(m_app) + ", user "; }

    test::TempFolder m_otherRuntime{"kx-runtime"};
};

// A second start through another spelling of the display, and one whose runtime folder differs
// (where the user's lock file is not seen), are refused with exit status 0, naming the holder on
// standard error and writing nothing into the running instance's log; the first keeps running.
TEST_F(SecondInstanceTest, EverySpellingOfTheDisplayIsRefused)
{
    startKestrelix();
    auto variables = homeVariables(m_home.path());
    variables.push_back("DISPLAY=" + unixSpelling());
    const auto sameFolder = runToEnd(variables);
    variables.push_back(ownRuntimeFolder(m_otherRuntime));
    const auto otherFolder = runToEnd(variables);

    for (const auto& outcome : {sameFolder, otherFolder}) {
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.output.rfind(refusal, 0), 0u) << outcome.output;
        EXPECT_NE(outcome.output.find(holderLine()), std::string::npos) << outcome.output;
    }
    EXPECT_EQ(log().find("another instance"), std::string::npos) << log();
    EXPECT_TRUE(appRunning());
}

// Another user of the machine on the same display is refused too, and told whose instance runs.
TEST_F(SecondInstanceTest, AnotherUserIsRefused)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to start Kestrelix as a second user";
    constexpr const char* second = "kxsecond";
    if (!::getpwnam(second)) {
        const auto added =
            test::runCommand(std::string("useradd --no-create-home --shell /usr/sbin/nologin ") + second);
        ASSERT_EQ(added.status, 0);
    }
    const passwd* user = ::getpwnam(second);
    ASSERT_NE(user, nullptr);
    const test::TempFolder theirHome("kx-e2e");
    for (const auto& folder : {theirHome.path(), m_otherRuntime.path()})
        ASSERT_EQ(::chown(folder.c_str(), user->pw_uid, user->pw_gid), 0);
    // A copy they can run wherever the build tree is (root's home is closed to them); it is
    // refused before it would need its resources.
    const auto theirCopy = theirHome / "kestrelix";
    std::filesystem::copy_file(KX_EXECUTABLE, theirCopy);
    startKestrelix();

    auto variables = homeVariables(theirHome.path());
    variables.push_back(ownRuntimeFolder(m_otherRuntime));
    variables.push_back("HOME=" + theirHome.path().string());
    const auto outcome = runToEnd(
        variables, std::string("setpriv --reuid=") + second + " --regid=" + second + " --clear-groups", theirCopy);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output.rfind(refusal, 0), 0u) << outcome.output;
    EXPECT_NE(outcome.output.find(holderLine() + ::getpwuid(::getuid())->pw_name), std::string::npos) << outcome.output;
    EXPECT_TRUE(appRunning());
}

// A name squatted where the lock once lived (an abstract socket any local user could bind first)
// keeps nothing from starting.
TEST_F(SecondInstanceTest, SquattedSocketNameDoesNotBlock)
{
    const std::string display = DesktopSession::shared().display();
    const std::string name = std::string(instanceName) + "." + std::to_string(::getuid()) + "." + display;
    const int squatter = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(squatter, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    ASSERT_EQ(::bind(squatter, reinterpret_cast<const sockaddr*>(&address),
                     static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())),
              0);
    startKestrelix();
    ::close(squatter);
}

}  // namespace
}  // namespace kx
