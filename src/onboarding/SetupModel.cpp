#include "onboarding/SetupModel.h"

namespace kx {

using platform::Permission;

SetupModel::SetupModel(MainQueue& main, platform::Permissions& permissions)
    : m_main(main),
      m_permissions(permissions),
      m_accessibility(permissions.isGranted(Permission::accessibility)),
      m_inputMonitoring(permissions.isGranted(Permission::inputMonitoring)),
      m_missingForKeyboard(permissions.missingParts(Permission::inputMonitoring))
{}

void SetupModel::startPolling()
{
    refresh();
    // The handle is owned here, so the timer never outlives the model.
    m_timer = m_main.timer(pollInterval, true, [this] { refresh(); });
}

void SetupModel::stopPolling()
{
    m_timer.reset();
}

void SetupModel::refresh()
{
    const bool accessibility = m_permissions.isGranted(Permission::accessibility);
    const bool inputMonitoring = m_permissions.isGranted(Permission::inputMonitoring);
    auto missingForKeyboard = m_permissions.missingParts(Permission::inputMonitoring);
    if (accessibility == m_accessibility && inputMonitoring == m_inputMonitoring &&
        missingForKeyboard == m_missingForKeyboard)
        return;
    m_accessibility = accessibility;
    m_inputMonitoring = inputMonitoring;
    m_missingForKeyboard = std::move(missingForKeyboard);
    changed.notify();
}

}  // namespace kx
