#include "stores/BehaviorPrefs.h"

#include <string>

namespace kx {

std::string_view rawValue(DecisionMode mode)
{
    return mode == DecisionMode::simple ? "simple" : "thorough";
}

BehaviorPrefs::BehaviorPrefs(Defaults& defaults)
    : m_defaults(defaults),
      m_correctionMode(CorrectionMode::fromStored(defaults.string(correctionModeKey))),
      m_troubleshooting(defaults.boolean(troubleshootingKey).value_or(false))
{}

void BehaviorPrefs::setCorrectionMode(CorrectionMode mode)
{
    m_correctionMode = mode;
    m_defaults.set(correctionModeKey, std::string(mode.rawValue()));
    correctionModeChanged.notify(mode);
}

void BehaviorPrefs::setTroubleshooting(bool on)
{
    m_troubleshooting = on;
    m_defaults.set(troubleshootingKey, on);
    troubleshootingChanged.notify(on);
}

}  // namespace kx
