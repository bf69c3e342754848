#pragma once
// The run state the status menu and the settings window show: the correction mode, the
// permissions, Secure Input and the word lists as the controller last saw them.

#include "engine/CorrectionMode.h"

#include <optional>
#include <string>
#include <vector>

namespace kx {

struct RuntimeStatus {
    CorrectionMode correctionMode = CorrectionMode::automatic;
    bool permissionsOK = true;
    bool secureInputActive = false;
    std::string secureInputHolder;
    bool secureInputStuck = false;
    std::optional<double> secureInputEndedAt;  // main-queue seconds
    double refreshedAt = 0;
    /// Languages of enabled layouts whose word list is missing or unusable, in layout order.
    std::vector<std::string> missingWordLists;
};

}  // namespace kx
