#pragma once
// The live copy of the settings the controller and the settings window share: correction mode and
// troubleshooting mode. Every assignment is stored at once and then announced.

#include "engine/CorrectionMode.h"
#include "platform/Defaults.h"
#include "platform/Observable.h"

#include <array>
#include <string_view>

namespace kx {

enum class DecisionMode { simple, thorough };

/// "simple", "thorough".
std::string_view rawValue(DecisionMode mode);
constexpr std::array<DecisionMode, 2> allDecisionModes = {DecisionMode::simple, DecisionMode::thorough};

class BehaviorPrefs {
public:
    static constexpr const char* correctionModeKey = "kestrelix.correctionMode";
    static constexpr const char* troubleshootingKey = "kestrelix.troubleshooting";

    /// Reads both settings from defaults, which must outlive the object.
    explicit BehaviorPrefs(Defaults& defaults);

    const DecisionMode mode = DecisionMode::thorough;

    CorrectionMode correctionMode() const { return m_correctionMode; }
    /// Stores the raw value, then tells correctionModeChanged (also when the mode is the same).
    void setCorrectionMode(CorrectionMode mode);

    bool troubleshooting() const { return m_troubleshooting; }
    /// Stores the value, then tells troubleshootingChanged (also when it is the same).
    void setTroubleshooting(bool on);

    Signal<CorrectionMode> correctionModeChanged;
    Signal<bool> troubleshootingChanged;

private:
    Defaults& m_defaults;
    CorrectionMode m_correctionMode;
    bool m_troubleshooting;
};

}  // namespace kx
