#include "controller/LanguageLoad.h"

#include "engine/NgramModel.h"

#include <malloc.h>

#include <chrono>
#include <memory>
#include <utility>

namespace kx {

void LanguageLoad::start(SerialQueue& queue, MainQueue& main, LanguageOracle& frequency,
                         std::vector<std::string> languages, Block done)
{
    if (m_over.valid())
        return;
    auto over = std::make_shared<std::promise<void>>();
    m_over = over->get_future().share();
    queue.async([&main, &frequency, languages = std::move(languages), done = std::move(done), over] {
        // The models read the same files but share nothing with the oracles.
        auto models = std::async(std::launch::async, [&languages] {
            for (const std::string& language : languages)
                NgramModel::model(language);
        });
        frequency.warmUp(languages);
        models.wait();
        // The loads' scratch (whole files, counting tables, Hunspell's reading buffers) is free
        // now but would stay resident for good: hand its pages back.
        malloc_trim(0);
        over->set_value();
        main.async(done);
    });
}

void LanguageLoad::wait() const
{
    if (m_over.valid())
        m_over.wait();
}

bool LanguageLoad::loading() const
{
    return m_over.valid() && m_over.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

}  // namespace kx
