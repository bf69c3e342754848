#pragma once
// The --selftest run: fixed key sequences through the engine's real entry points on the layouts
// enabled on this machine, printed for a person to read. No verdict; it changes nothing.

#include "engine/KeyboardLayoutInfo.h"
#include "engine/LayoutRegistry.h"
#include "platform/InputSources.h"

#include <ostream>
#include <string>
#include <vector>

namespace kx {

class SelfTest {
public:
    /// The whole run over the layouts of sources, printed to out.
    static void run(std::ostream& out, platform::InputSources& sources);

private:
    using Codes = std::vector<int>;  // macOS virtual key codes, typed without modifiers

    /// One word through the single-word decision, with what every layout types for it.
    static void scenario(std::ostream& out, platform::InputSources& sources, const std::string& name,
                         const KeyboardLayoutInfo& current, const Codes& codes);
    /// Earlier words, each asked whether it converts to target.
    static void retroScenario(std::ostream& out, const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target,
                              const std::vector<Codes>& words);
    /// Two fixed texts retyped between the English and the Hebrew layout.
    static void manualScenario(std::ostream& out, const LayoutRegistry& registry);
    /// A run of words (oldest first) through the run decision.
    static void runScenario(std::ostream& out, const KeyboardLayoutInfo& current,
                            const std::vector<KeyboardLayoutInfo>& others, const std::vector<Codes>& words);
};

}  // namespace kx
