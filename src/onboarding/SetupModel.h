#pragma once
// The two permissions as the setup window shows them, re-read every 0.8 s while the window is open
// so that a switch flipped in the desktop's settings shows at once. It only reads them.

#include "platform/MainQueue.h"
#include "platform/Observable.h"
#include "platform/Permissions.h"

#include <memory>
#include <string>
#include <vector>

namespace kx {

class SetupModel {
public:
    static constexpr double pollInterval = 0.8;

    /// Reads both permissions now. main and permissions must outlive the model.
    SetupModel(MainQueue& main, platform::Permissions& permissions);

    bool accessibility() const { return m_accessibility; }
    bool inputMonitoring() const { return m_inputMonitoring; }
    /// What the display lacks for keyboard access (the extensions' names); empty while granted.
    const std::vector<std::string>& missingForKeyboard() const { return m_missingForKeyboard; }
    bool polling() const { return m_timer != nullptr; }

    /// Reads both at once, then every pollInterval until stopPolling().
    void startPolling();
    void stopPolling();
    /// Reads both; tells changed only when one of them changed.
    void refresh();

    Signal<> changed;

private:
    MainQueue& m_main;
    platform::Permissions& m_permissions;
    bool m_accessibility;
    bool m_inputMonitoring;
    std::vector<std::string> m_missingForKeyboard;
    std::unique_ptr<TimerHandle> m_timer;
};

}  // namespace kx
