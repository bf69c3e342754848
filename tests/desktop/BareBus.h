#pragma once
// A D-Bus daemon of the test's own that starts no services: what is on it, the test puts there.

#include "DesktopSession.h"
#include "TempFolder.h"

#include <fstream>
#include <string>

namespace kx::test {

/// Starts a bus of type ("session", "accessibility") listening in folder; its address, or empty
/// when it did not start. It ends with the desktop session.
inline std::string startBareBus(const TempFolder& folder, const std::string& type)
{
    const auto config = folder / (type + ".conf");
    std::ofstream(config) << "<busconfig><type>" << type << "</type><listen>unix:tmpdir=" << folder.path().string()
                          << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                             "<allow own=\"*\"/></policy></busconfig>";
    return DesktopSession::shared().startPrinting(
        {"dbus-daemon", "--config-file=" + config.string(), "--nofork", "--print-address={fd}"});
}

}  // namespace kx::test
