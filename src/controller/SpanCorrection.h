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

/// When the steps of one rewrite began, on the main queue's clock, for the debug log.
struct RewriteTiming {
    double decided = 0;    // the rewrite was planned; it waits for the word's keys to land
    double reading = 0;    // the first read of the text before the caret was asked
    double read = 0;       // the read that let it go ahead answered
    double switched = 0;   // the layout switch was made
};

}  // namespace kx
