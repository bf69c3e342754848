#pragma once
// Where Kestrelix keeps its files (XDG base directories). Tests point every path at a temporary
// folder with underRoot().

#include <filesystem>

namespace kx {

class Paths {
public:
    /// $XDG_CONFIG_HOME, $XDG_STATE_HOME, $XDG_DATA_HOME and $XDG_RUNTIME_DIR, with the XDG
    /// defaults under $HOME when unset or not absolute.
    static Paths fromEnvironment();
    /// Every folder below root (config/, state/, data/, runtime/).
    static Paths underRoot(const std::filesystem::path& root);

    /// The process-wide paths: fromEnvironment() unless a test set others.
    static const Paths& shared();
    static void setShared(const Paths& paths);

    std::filesystem::path configHome() const { return m_config; }
    std::filesystem::path stateHome() const { return m_state; }
    std::filesystem::path dataHome() const { return m_data; }
    std::filesystem::path runtimeDir() const { return m_runtime; }

    std::filesystem::path defaultsFile() const;     // config/kestrelix/defaults.json
    std::filesystem::path logFile() const;          // state/kestrelix/kestrelix.log
    std::filesystem::path drillReportFile() const;  // state/kestrelix/kestrelix-drill.txt
    std::filesystem::path historyFile() const;      // data/kestrelix/history.json
    std::filesystem::path autostartFile() const;    // config/autostart/kestrelix.desktop

private:
    std::filesystem::path m_config, m_state, m_data, m_runtime;
};

}  // namespace kx
