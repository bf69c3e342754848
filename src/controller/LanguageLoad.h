#pragma once
// The start-up load of the enabled layouts' languages: the word lists and spell-checker
// dictionaries on one worker, the character models on another, side by side, while the main
// thread installs the tap and takes keys. The oracles belong to the load until it is over: the
// main thread asks them nothing before wait() has returned.

#include "engine/LanguageOracle.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"

#include <future>
#include <string>
#include <vector>

namespace kx {

class LanguageLoad {
public:
    /// Queues on queue the load of languages: frequency.warmUp (lists, then through its fallback
    /// the dictionaries) and the character model of each. done runs on main once everything is
    /// in. frequency must outlive the load. Only the first call starts a load.
    void start(SerialQueue& queue, MainQueue& main, LanguageOracle& frequency, std::vector<std::string> languages,
               Block done);
    /// Blocks until a started load is over; returns at once when none was started or it is over.
    void wait() const;
    /// A load was started and is not over yet.
    bool loading() const;

private:
    std::shared_future<void> m_over;
};

}  // namespace kx
