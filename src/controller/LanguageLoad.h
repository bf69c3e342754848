#pragma once
// The start-up load of the enabled layouts' languages, off the main thread, while the main thread
// installs the tap and takes keys: the word lists and character models on one worker, and each
// language's spell-checker dictionary on a thread of its own. Enchant reads the user's personal
// word list with a dictionary, so one language's load may take long or never end (a word list
// that is a FIFO); it holds up nothing but that language, and nobody ever waits for it. The main
// thread asks the oracles about a language only once ready() says so.

#include "engine/LanguageOracle.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "platform/SpellChecker.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kx {

class LanguageLoad {
public:
    /// Runs a block on a thread of its own that is never joined; empty runs it at once.
    using Detach = std::function<void(Block)>;

    LanguageLoad() = default;
    /// Reports of loads still running go nowhere afterwards.
    ~LanguageLoad();
    LanguageLoad(const LanguageLoad&) = delete;
    LanguageLoad& operator=(const LanguageLoad&) = delete;

    /// Loads languages: on queue the lists of frequency (which must outlive the queue's blocks)
    /// and the character models; through detach each language's dictionary from checker, which
    /// must outlive the process's threads. done runs on main once everything is in, unless this
    /// load is gone by then. Only the first call starts a load.
    void start(SerialQueue& queue, const Detach& detach, MainQueue& main, LanguageOracle& frequency,
               platform::SpellChecker& checker, const std::vector<std::string>& languages, Block done);
    /// The oracles may be asked about language: no load was started, or the lists are in and
    /// language is not among the dictionaries still loading.
    bool ready(const std::string& language) const;
    /// A load was started and is not over yet.
    bool loading() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace kx
