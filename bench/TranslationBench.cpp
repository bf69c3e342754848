#include "engine/TranslationEngine.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using kx::KeyStroke;
using kx::TranslationEngine;
using kx::platform::KeyTable;

// One key on the layouts a user switches between most: us, il, ru.
void BM_CharacterOnThreeLayouts(benchmark::State& state)
{
    const KeyTable layouts[] = {KeyTable::forLayout("us"), KeyTable::forLayout("il"), KeyTable::forLayout("ru")};
    std::uint16_t code = 0;
    for (auto _ : state) {
        for (const KeyTable& layout : layouts)
            benchmark::DoNotOptimize(TranslationEngine::character(code, 0, layout));
        code = std::uint16_t((code + 1) % 48);
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_CharacterOnThreeLayouts);

// A ten-key word rebuilt on another layout.
void BM_ReconstructTenKeys(benchmark::State& state)
{
    const KeyTable il = KeyTable::forLayout("il");
    const std::vector<KeyStroke> keys{{4, 0},  {14, 0}, {37, 0}, {37, 0}, {31, 0},
                                      {13, 0}, {31, 0}, {15, 0}, {37, 0}, {2, 0}};  // "helloworld"
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslationEngine::reconstruct(keys, il));
}
BENCHMARK(BM_ReconstructTenKeys);

}  // namespace
