#include "engine/NgramModel.h"

#include "engine/FrequencyList.h"
#include "engine/FrequencyOracle.h"
#include "platform/Text.h"

#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace kx {

namespace {

constexpr std::size_t expectedTrigrams = 120000;
constexpr std::size_t expectedBigrams = 20000;
constexpr double junkThreshold = -4.0;
constexpr double tooShortScore = -9.0;
constexpr double smoothing = 0.1;

// The process-wide cache. A key mapped to none records a build that failed.
std::mutex cacheLock;
std::map<std::string, std::shared_ptr<const NgramModel>> cache;

std::atomic<const Defaults*> settings{nullptr};

std::vector<std::string> markedCharacters(const std::string& word)
{
    return text::characters("^" + word + "$");
}

}  // namespace

std::shared_ptr<const NgramModel> NgramModel::build(const std::string& language,
                                                    const std::optional<std::filesystem::path>& folder)
{
    if (!folder)
        return nullptr;
    const auto fileText = FrequencyList::fileText(language, *folder);
    if (!fileText)
        return nullptr;

    auto model = std::make_shared<NgramModel>();
    model->m_tri.reserve(expectedTrigrams);
    model->m_bi.reserve(expectedBigrams);
    std::unordered_set<std::string> seen;
    for (const std::string& line : FrequencyList::trimmedLines(*fileText)) {
        if (line.empty())
            continue;
        // Lines are learnt as written, not lower-cased.
        const std::vector<std::string> c = markedCharacters(line);
        seen.insert(c.begin(), c.end());
        for (std::size_t i = 2; i < c.size(); ++i) {
            ++model->m_tri[c[i - 2] + c[i - 1] + c[i]];
            ++model->m_bi[c[i - 2] + c[i - 1]];
        }
    }
    if (model->m_tri.empty())
        return nullptr;
    model->m_alphabet = static_cast<double>(std::max<std::size_t>(seen.size(), 1));
    return model;
}

double NgramModel::score(std::string_view word) const
{
    const std::vector<std::string> c = markedCharacters(text::lowercased(word));
    if (c.size() < 3)
        return tooShortScore;
    const double k = smoothing * m_alphabet;
    double sum = 0;
    for (std::size_t i = 2; i < c.size(); ++i) {
        const auto tri = m_tri.find(c[i - 2] + c[i - 1] + c[i]);
        const auto bi = m_bi.find(c[i - 2] + c[i - 1]);
        const double t = tri == m_tri.end() ? 0 : tri->second;
        const double b = bi == m_bi.end() ? 0 : bi->second;
        sum += std::log((t + smoothing) / (b + k));
    }
    return sum / static_cast<double>(c.size() - 2);
}

std::shared_ptr<const NgramModel> NgramModel::model(const std::string& language)
{
    const std::string key = FrequencyOracle::key(language);
    // The build runs under the lock: a second caller for any language waits for it rather than
    // building the same model twice.
    std::lock_guard lock(cacheLock);
    if (const auto found = cache.find(key); found != cache.end())
        return found->second;
    auto built = build(key, FrequencyOracle::resourceBundle());
    cache.emplace(key, built);
    return built;
}

bool NgramModel::looksLikeJunk(std::string_view word, const std::string& language)
{
    const Defaults* defaults = settings.load();
    if (defaults && defaults->boolean("kestrelix.ngramOff").value_or(false))
        return false;
    if (text::characterCount(word) < 3)
        return false;
    const auto languageModel = model(language);
    if (!languageModel)
        return false;
    return languageModel->score(word) < junkThreshold;
}

void NgramModel::setDefaults(const Defaults* defaults)
{
    settings.store(defaults);
}

}  // namespace kx
