// Loading the word lists, building the character models and answering one question of each oracle.

#include "engine/FrequencyList.h"
#include "engine/FrequencyOracle.h"
#include "engine/NgramModel.h"
#include "engine/SystemSpellOracle.h"
#include "platform/ResourceFolder.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

using namespace kx;

// The build tree's resource folder. kx_bench sits one folder below the main executable, so its
// own folder stands where ResourceFolder expects the executable.
std::optional<std::filesystem::path> listFolder()
{
    static const auto folder = [] {
        std::error_code error;
        const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
        auto found = ResourceFolder::find(executable.parent_path(), KX_INSTALL_RESOURCE_DIR);
        FrequencyOracle::setResourceBundle(found);
        return found;
    }();
    return folder;
}

void loadList(benchmark::State& state, const std::string& language)
{
    const auto folder = listFolder();
    if (!folder) {
        state.SkipWithError("no resource folder");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(FrequencyList::load(language, *folder));
}
BENCHMARK_CAPTURE(loadList, he, std::string("he"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadList, en, std::string("en"))->Unit(benchmark::kMillisecond);

void buildModel(benchmark::State& state, const std::string& language)
{
    const auto folder = listFolder();
    if (!folder) {
        state.SkipWithError("no resource folder");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(NgramModel::build(language, folder));
}
BENCHMARK_CAPTURE(buildModel, he, std::string("he"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(buildModel, en, std::string("en"))->Unit(benchmark::kMillisecond);

void isMisspelled(benchmark::State& state)
{
    SystemSpellOracle oracle;
    oracle.warmUp({"en"});
    for (auto _ : state)
        benchmark::DoNotOptimize(oracle.isMisspelled("ghbdtn", "en"));
}
BENCHMARK(isMisspelled)->Unit(benchmark::kMicrosecond);

void frequency(benchmark::State& state)
{
    SystemSpellOracle speller;
    FrequencyOracle oracle(speller, listFolder());
    oracle.warmUp({"he"});
    const std::string word = "\u05E9\u05DC\u05D5\u05DD";
    for (auto _ : state)
        benchmark::DoNotOptimize(oracle.frequency(word, "he"));
}
BENCHMARK(frequency)->Unit(benchmark::kMicrosecond);

}  // namespace
