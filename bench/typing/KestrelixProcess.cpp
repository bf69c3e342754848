#include "KestrelixProcess.h"

#include "DesktopSession.h"

#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace kx::bench {

using test::DesktopSession;

namespace {

std::string fileText(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace

KestrelixProcess::KestrelixProcess(const std::string& executable)
{
    // Past the walkthrough: its window would take the focus.
    std::filesystem::create_directories(m_home / "config/kestrelix");
    std::ofstream(m_home / "config/kestrelix/defaults.json") << R"({"kestrelix.seenWalkthrough": true})";
    // Without a tray the program shows its settings window, where keys would go once a field closes.
    m_tray = DesktopSession::shared().startTray();
    m_pid = DesktopSession::shared().start({executable}, {"XDG_CONFIG_HOME=" + (m_home / "config").string(),
                                                          "XDG_STATE_HOME=" + (m_home / "state").string(),
                                                          "XDG_DATA_HOME=" + (m_home / "data").string()});
    const bool ready =
        m_pid > 0 && DesktopSession::waitFor(
                         [&] { return !running() || log().find("enabled layouts = ") != std::string::npos; }, 30);
    if (!ready || !running()) {
        DesktopSession::shared().stop(m_pid);
        m_pid = -1;
    }
}

KestrelixProcess::~KestrelixProcess()
{
    DesktopSession::shared().stop(m_pid);
    DesktopSession::shared().stop(m_tray);
}

bool KestrelixProcess::running()
{
    if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
        m_pid = -1;
    return m_pid > 0;
}

std::string KestrelixProcess::log() const
{
    return fileText(m_home / "state/kestrelix/kestrelix.log");
}

double KestrelixProcess::cpuSeconds() const
{
    const std::string stat = fileText("/proc/" + std::to_string(m_pid) + "/stat");
    const auto close = stat.rfind(')');
    if (m_pid <= 0 || close == std::string::npos)
        return 0;
    // After the command's closing parenthesis: state is the 3rd field, utime and stime the 14th and 15th.
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14)
            ticks += std::stod(field);
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long KestrelixProcess::peakResidentKb() const
{
    std::istringstream status(fileText("/proc/" + std::to_string(m_pid) + "/status"));
    std::string line;
    while (m_pid > 0 && std::getline(status, line)) {
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    }
    return 0;
}

}  // namespace kx::bench
