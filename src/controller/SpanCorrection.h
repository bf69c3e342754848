#pragma once
// One planned rewrite of the text just before the caret: what goes, what comes, and the layouts.

#include "controller/ActuationStrategy.h"
#include "engine/KeyboardLayoutInfo.h"

#include <string>
#include <vector>

namespace kx {

struct SpanCorrection {
    std::string logLine;
    std::vector<std::string> contextBefore;  // up to 3 words before the run, oldest first
    KeyboardLayoutInfo from;
    KeyboardLayoutInfo target;
    ActuationStrategy strategy = ActuationStrategy::synthetic;
    std::string frontID;
    int deleteCount = 0;  // Unicode scalars of everything removed
    std::string insertText;
    std::string originalText;
    int retroCount = 0;
    std::string decisionOriginal;
    std::string decisionCorrected;
};

}  // namespace kx
