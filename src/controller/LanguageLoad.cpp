#include "controller/LanguageLoad.h"

#include "engine/NgramModel.h"
#include "engine/SystemSpellOracle.h"

#include <malloc.h>

#include <future>
#include <mutex>
#include <set>
#include <utility>

namespace kx {

// Shared with the loads, which may outlive the controller: a stuck one until the process ends.
struct LanguageLoad::State {
    std::mutex mutex;
    bool listsIn = false;
    std::set<std::string> dictionariesLoading;
    MainQueue* main = nullptr;  // none once the load's owner is gone
    Block done;

    // Called with mutex held.
    void reportIfOver()
    {
        if (!listsIn || !dictionariesLoading.empty() || !main)
            return;
        main->async(std::move(done));
        main = nullptr;
    }
};

LanguageLoad::~LanguageLoad()
{
    if (!m_state)
        return;
    std::lock_guard lock(m_state->mutex);
    m_state->main = nullptr;
    m_state->done = nullptr;
}

void LanguageLoad::start(SerialQueue& queue, const Detach& detach, MainQueue& main, LanguageOracle& frequency,
                         platform::SpellChecker& checker, const std::vector<std::string>& languages, Block done)
{
    if (m_state)
        return;
    auto state = std::make_shared<State>();
    state->main = &main;
    state->done = std::move(done);
    state->dictionariesLoading.insert(languages.begin(), languages.end());
    m_state = state;

    queue.async([state, &frequency, languages] {
        // The models read the same files but share nothing with the oracles.
        auto models = std::async(std::launch::async, [&languages] {
            for (const std::string& language : languages)
                NgramModel::model(language);
        });
        // Asking for a rank loads the language's list, and only that: the dictionaries load apart.
        for (const std::string& language : languages)
            frequency.frequency("probe", language);
        models.wait();
        // The loads' scratch (whole files, counting tables) is free now but would stay resident
        // for good: hand its pages back.
        malloc_trim(0);
        std::lock_guard lock(state->mutex);
        state->listsIn = true;
        state->reportIfOver();
    });

    const std::set<std::string> distinct(languages.begin(), languages.end());
    for (const std::string& language : distinct) {
        Block load = [state, &checker, language] {
            // An oracle of the thread's own: the controller's belongs to the main thread.
            SystemSpellOracle(checker).warmUp({language});
            malloc_trim(0);  // Hunspell's reading buffers
            std::lock_guard lock(state->mutex);
            state->dictionariesLoading.erase(language);
            state->reportIfOver();
        };
        if (detach)
            detach(std::move(load));
        else
            load();
    }
}

bool LanguageLoad::ready(const std::string& language) const
{
    if (!m_state)
        return true;
    std::lock_guard lock(m_state->mutex);
    return m_state->listsIn && !m_state->dictionariesLoading.contains(language);
}

bool LanguageLoad::loading() const
{
    if (!m_state)
        return false;
    std::lock_guard lock(m_state->mutex);
    return !m_state->listsIn || !m_state->dictionariesLoading.empty();
}

}  // namespace kx
