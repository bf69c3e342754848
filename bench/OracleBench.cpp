// Loading the word lists, building the character models and answering one question of each oracle.

#include "BenchResources.h"

#include "engine/FrequencyList.h"
#include "engine/FrequencyOracle.h"
#include "engine/NgramModel.h"
#include "engine/SystemSpellOracle.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kx;

void loadList(benchmark::State& state, const std::string& language)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(FrequencyList::load(language, bench::resources()));
}
BENCHMARK_CAPTURE(loadList, he, std::string("he"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadList, en, std::string("en"))->Unit(benchmark::kMillisecond);

void buildModel(benchmark::State& state, const std::string& language)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(NgramModel::build(language, bench::resources()));
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
    FrequencyOracle oracle(speller, bench::resources());
    oracle.warmUp({"he"});
    const std::string word = "\u05E9\u05DC\u05D5\u05DD";
    for (auto _ : state)
        benchmark::DoNotOptimize(oracle.frequency(word, "he"));
}
BENCHMARK(frequency)->Unit(benchmark::kMicrosecond);

}  // namespace
