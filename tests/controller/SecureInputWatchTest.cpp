// The Secure Input watch: one log line per change, the holder's name as it lives and quits, the
// published run state and the grace after Secure Input ends.

#include "TempFolder.h"

#include "controller/SecureInputWatch.h"
#include "platform/Log.h"
#include "platform/VirtualMainQueue.h"
#include "platform/sim/SimSecureInput.h"
#include "platform/sim/SimWorkspace.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace kx::test {
namespace {

const std::string onLine = "secure input ON — keystrokes hidden from Kestrelix (held by ";
const std::string offLine = "secure input OFF — Kestrelix can see keystrokes again";

class SecureInputWatchTest : public ::testing::Test {
protected:
    SecureInputWatchTest()
    {
        Log::setUrl(folder / "kestrelix.log");
        workspace.launch({.id = "org.gnome.Passwords", .name = "Passwords", .pid = 700});
    }
    ~SecureInputWatchTest() override { Log::flush(); }

    void refresh() { watch.refresh(status, CorrectionMode::ask, permissionsOK); }

    std::vector<std::string> logLines()
    {
        Log::flush();
        std::ifstream in(folder / "kestrelix.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(line.find("  ") + 2));
        return lines;
    }

    TempFolder folder{"kx-secure"};
    VirtualMainQueue queue;
    sim::SimWorkspace workspace{queue};
    sim::SimSecureInput secureInput{workspace};
    bool permissionsOK = true;
    SecureInputWatch watch{secureInput, workspace, queue};
    RuntimeStatus status;
};

// The troubleshooting prompt's own password field is no Secure Input to report: nothing is
// logged or published, though the key check still sees it.
TEST_F(SecureInputWatchTest, OwnPasswordFieldIsNotReported)
{
    workspace.launch({.id = "kestrelix", .name = "Kestrelix", .pid = int(::getpid())});
    secureInput.turnOn(::getpid());
    refresh();
    EXPECT_TRUE(secureInput.isEnabled());
    EXPECT_FALSE(watch.active());
    EXPECT_FALSE(status.secureInputActive);
    secureInput.turnOff();
    refresh();
    EXPECT_FALSE(status.secureInputEndedAt.has_value()) << "no grace for a period never reported";
    EXPECT_TRUE(logLines().empty());
}

// One ON line naming the holder and one OFF line per period; every refresh publishes the state with
// the permissions, the mode and its time; a field stays blocked for 6.0 s after the end, strictly.
TEST_F(SecureInputWatchTest, LogsEachPeriodOnceAndKeepsTheGrace)
{
    secureInput.turnOn(700);
    refresh();
    queue.advance(2.0);
    permissionsOK = false;
    refresh();
    EXPECT_TRUE(watch.active());
    EXPECT_EQ(watch.holder(), "Passwords");
    EXPECT_TRUE(status.secureInputActive);
    EXPECT_FALSE(status.secureInputStuck);
    EXPECT_EQ(status.secureInputHolder, "Passwords");
    EXPECT_FALSE(status.permissionsOK);
    EXPECT_EQ(status.correctionMode, CorrectionMode::ask);
    EXPECT_DOUBLE_EQ(status.refreshedAt, 2.0);
    EXPECT_TRUE(SecureInputWatch::blockedForField(status, queue.now()));

    secureInput.turnOff();
    refresh();
    refresh();
    EXPECT_FALSE(watch.active());
    EXPECT_EQ(status.secureInputHolder, "");
    EXPECT_EQ(logLines(), (std::vector<std::string>{onLine + "Passwords pid=700)", offLine}));
    ASSERT_EQ(status.secureInputEndedAt, 2.0);
    EXPECT_TRUE(SecureInputWatch::blockedForField(status, 2.0 + 5.999));
    EXPECT_FALSE(SecureInputWatch::blockedForField(status, 2.0 + 6.0));
}

// A holder that quits while Secure Input stays on keeps its remembered name and reads as stuck; the
// name belongs to that period only.
TEST_F(SecureInputWatchTest, HolderThatQuitsLeavesItStuck)
{
    secureInput.turnOn(700);
    refresh();
    workspace.quit("org.gnome.Passwords");
    refresh();
    EXPECT_TRUE(status.secureInputStuck);
    EXPECT_EQ(status.secureInputHolder, "Passwords");
    EXPECT_EQ(logLines().size(), 1u);

    secureInput.turnOff();
    refresh();
    secureInput.turnOn(700);
    refresh();
    EXPECT_EQ(status.secureInputHolder, "an app that has since quit (pid 700)");
    EXPECT_EQ(logLines().back(), onLine + "an app that has since quit (pid 700) pid=700 — STUCK, holder is gone)");
}

// A live process without a name shows its pid; a holder nobody can identify is never stuck.
TEST_F(SecureInputWatchTest, HolderTexts)
{
    secureInput.setProcessAlive(800, true);
    secureInput.turnOn(800);
    refresh();
    EXPECT_EQ(status.secureInputHolder, "an app (pid 800)");
    EXPECT_FALSE(status.secureInputStuck);

    secureInput.turnOn(std::nullopt);
    refresh();
    EXPECT_EQ(status.secureInputHolder, "an app we couldn't identify");
    EXPECT_FALSE(status.secureInputStuck);
}

}  // namespace
}  // namespace kx::test
