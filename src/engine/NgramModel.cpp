#include "engine/NgramModel.h"

#include "engine/FrequencyList.h"
#include "engine/FrequencyOracle.h"
#include "platform/Text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <vector>

namespace kx {

namespace {

constexpr std::size_t expectedTrigrams = 120000;
constexpr std::size_t expectedBigrams = 20000;
// A character id takes 21 bits of a packed sequence; an alphabet never comes near 2^21 - 1, the
// id of an unseen character.
constexpr int idBits = 21;
constexpr std::uint32_t unseen = (1u << idBits) - 1;
constexpr double junkThreshold = -4.0;
constexpr double tooShortScore = -9.0;
constexpr double smoothing = 0.1;

// The process-wide cache. A key mapped to none records a build that failed.
std::mutex cacheLock;
std::map<std::string, std::shared_ptr<const NgramModel>> cache;

std::atomic<const Defaults*> settings{nullptr};

std::vector<std::string> markedCharacters(std::string_view word)
{
    return text::characters("^" + std::string(word) + "$");
}

std::uint64_t pack(std::uint64_t a, std::uint64_t b)
{
    return (a << idBits) | b;
}

std::uint64_t pack(std::uint64_t a, std::uint64_t b, std::uint64_t c)
{
    return (pack(a, b) << idBits) | c;
}

// Counted sequences, laid flat and sorted once counting is over.
void flatten(const std::unordered_map<std::uint64_t, std::uint32_t>& counted, std::vector<std::uint64_t>& keys,
             std::vector<std::uint32_t>& counts)
{
    std::vector<std::pair<std::uint64_t, std::uint32_t>> sorted(counted.begin(), counted.end());
    std::sort(sorted.begin(), sorted.end());
    keys.reserve(sorted.size());
    counts.reserve(sorted.size());
    for (const auto& [key, count] : sorted) {
        keys.push_back(key);
        counts.push_back(count);
    }
}

}  // namespace

double NgramModel::Counts::of(std::uint64_t key) const
{
    const auto found = std::lower_bound(keys.begin(), keys.end(), key);
    return found == keys.end() || *found != key ? 0 : counts[static_cast<std::size_t>(found - keys.begin())];
}

std::vector<std::uint32_t> NgramModel::ids(std::string_view word) const
{
    std::vector<std::uint32_t> result;
    for (const std::string& character : markedCharacters(word)) {
        const auto found = m_ids.find(character);
        result.push_back(found == m_ids.end() ? unseen : found->second);
    }
    return result;
}

std::shared_ptr<const NgramModel> NgramModel::build(const std::string& language,
                                                    const std::optional<std::filesystem::path>& folder)
{
    if (!folder)
        return nullptr;
    const auto fileText = FrequencyList::fileText(language, *folder);
    if (!fileText)
        return nullptr;

    auto model = std::make_shared<NgramModel>();
    std::unordered_map<std::uint64_t, std::uint32_t> tri;
    std::unordered_map<std::uint64_t, std::uint32_t> bi;
    tri.reserve(expectedTrigrams);
    bi.reserve(expectedBigrams);
    std::vector<std::uint32_t> c;
    for (const std::string_view line : FrequencyList::trimmedLines(*fileText)) {
        if (line.empty())
            continue;
        // Lines are learnt as written, not lower-cased.
        c.clear();
        for (std::string& character : markedCharacters(line)) {
            const auto id = static_cast<std::uint32_t>(model->m_ids.size());
            c.push_back(model->m_ids.try_emplace(std::move(character), id).first->second);
        }
        for (std::size_t i = 2; i < c.size(); ++i) {
            ++tri[pack(c[i - 2], c[i - 1], c[i])];
            ++bi[pack(c[i - 2], c[i - 1])];
        }
    }
    if (tri.empty() || model->m_ids.size() >= unseen)
        return nullptr;
    flatten(tri, model->m_tri.keys, model->m_tri.counts);
    flatten(bi, model->m_bi.keys, model->m_bi.counts);
    model->m_alphabet = static_cast<double>(std::max<std::size_t>(model->m_ids.size(), 1));
    return model;
}

double NgramModel::score(std::string_view word) const
{
    const std::vector<std::uint32_t> c = ids(text::lowercased(word));
    if (c.size() < 3)
        return tooShortScore;
    const double k = smoothing * m_alphabet;
    double sum = 0;
    for (std::size_t i = 2; i < c.size(); ++i) {
        const double t = m_tri.of(pack(c[i - 2], c[i - 1], c[i]));
        const double b = m_bi.of(pack(c[i - 2], c[i - 1]));
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
