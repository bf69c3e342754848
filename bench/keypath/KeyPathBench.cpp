// What the key path pays, per key, to tell whether the key goes to a password field: on a private
// X11 desktop with the accessibility bus, in a field that has the focus for a while, and in
// windows that have just come to the front (one on the bus, one never on it), whose look-up is
// still on its way when the first keys come.
//
//   kx_keypath_bench [--keys N]

#include "DesktopSession.h"
#include "KeyboardScene.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/X11SecureInput.h"
#include "platform/x11/X11Workspace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kx::platform::SecureInput;
using kx::platform::x11::X11SecureInput;
using kx::test::DesktopSession;
using Clock = std::chrono::steady_clock;

struct Costs {
    std::vector<double> micros;
    int unknown = 0;
};

// Asks as the tap does at each of keys keys, a key every 60 ms (the Qt loop runs in between, as
// it does while a typist types); the costs of the questions alone.
Costs askAtKeys(X11SecureInput& secure, int keys)
{
    Costs costs;
    for (int key = 0; key < keys; ++key) {
        const auto start = Clock::now();
        const auto field = secure.fieldAtKey();
        costs.micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        costs.unknown += field == SecureInput::Field::unknown;
        const auto next = start + std::chrono::milliseconds(60);
        DesktopSession::waitFor([&] { return Clock::now() >= next; }, 1);
    }
    return costs;
}

void report(const char* what, Costs costs)
{
    std::ranges::sort(costs.micros);
    const auto at = [&](double share) {
        return costs.micros[static_cast<std::size_t>(share * (costs.micros.size() - 1))];
    };
    std::printf("%-40s keys %3zu  median %8.1f us  p95 %8.1f us  max %8.1f us  unknown %d\n", what, costs.micros.size(),
                at(0.5), at(0.95), costs.micros.back(), costs.unknown);
}

bool waitForFront(kx::platform::x11::X11Workspace& workspace, pid_t pid)
{
    return DesktopSession::waitFor(
        [&] {
            const auto front = workspace.frontApplication();
            return front && front->pid == pid;
        },
        10);
}

}  // namespace

int main(int argc, char** argv)
{
    int keys = 40;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--keys") == 0)
            keys = std::max(1, std::atoi(argv[++i]));
    auto& session = DesktopSession::shared();
    if (!session.ready()) {
        std::fprintf(stderr, "no desktop: %s\n", session.why().c_str());
        return 1;
    }
    kx::platform::x11::AtspiSession atspi;
    kx::platform::x11::X11Workspace workspace;
    X11SecureInput secure(atspi, workspace);

    {
        kx::test::TextField field("KxSteady", {}, {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"});
        if (!field.ok() || !waitForFront(workspace, field.pid()))
            return 1;
        askAtKeys(secure, 5);
        report("field in front for a while", askAtKeys(secure, keys));
    }
    for (const bool accessible : {true, false}) {
        const std::vector<std::string> environment =
            accessible ? std::vector<std::string>{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"} : std::vector<std::string>{};
        const pid_t window = session.start({KX_DESKTOP_PROBE, "--class", "KxNew"}, environment);
        if (window <= 0 || !waitForFront(workspace, window))
            return 1;
        report(accessible ? "window just in front, on the bus" : "window just in front, never on the bus",
               askAtKeys(secure, keys));
        session.stop(window);
    }
    return 0;
}
