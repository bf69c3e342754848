// The decisions run on every finished word, on the main thread, with warm oracles.

#include "BenchResources.h"

#include "engine/DecisionEngine.h"
#include "engine/FrequencyOracle.h"
#include "engine/SystemSpellOracle.h"
#include "engine/TranslationEngine.h"
#include "platform/Text.h"

#include <benchmark/benchmark.h>

#include <sstream>

namespace kx {
namespace {

KeyboardLayoutInfo layout(const std::string& name, const std::string& xkb, const std::string& language)
{
    return {"xkb:" + xkb, name, {language}, platform::KeyTable::forLayout(xkb), {xkb, "", 0}};
}

struct Setup {
    KeyboardLayoutInfo us = layout("English (US)", "us", "en");
    KeyboardLayoutInfo il = layout("Hebrew", "il", "he");
    KeyboardLayoutInfo ru = layout("Russian", "ru", "ru");
    SystemSpellOracle spell;
    FrequencyOracle oracle{spell, bench::resources()};

    Setup() { oracle.warmUp({"en", "he", "ru"}); }

    // us+il for 0, us+il+ru for 1.
    std::vector<KeyboardLayoutInfo> others(std::int64_t set) const
    {
        return set == 0 ? std::vector{il} : std::vector{il, ru};
    }

    // The keys that type text on `typedOn`.
    std::vector<KeyStroke> keys(const std::string& text, const KeyboardLayoutInfo& typedOn) const
    {
        const auto inverse = TranslationEngine::inverseMap(typedOn.layoutData);
        std::vector<KeyStroke> result;
        for (const std::string& c : text::characters(text))
            result.push_back(inverse.at(c));
        return result;
    }

    // The words of sentence, meant for `meantFor`, as they come out on us.
    std::vector<DecisionEngine::RunWord> run(const std::string& sentence, const KeyboardLayoutInfo& meantFor) const
    {
        std::vector<DecisionEngine::RunWord> words;
        std::istringstream in(sentence);
        for (std::string word; in >> word;) {
            auto k = keys(word, meantFor);
            words.push_back({k, TranslationEngine::reconstruct(k, us.layoutData)});
        }
        return words;
    }
};

Setup& setup()
{
    static Setup instance;
    return instance;
}

// Times decide(others) for the layout set the argument names, after one untimed call that warms
// the caches.
template <typename Decide>
void timeDecision(benchmark::State& state, Decide decide)
{
    const auto others = setup().others(state.range(0));
    decide(others);
    for (auto _ : state)
        benchmark::DoNotOptimize(decide(others));
}

void decideWord(benchmark::State& state, const std::string& word, bool hebrew)
{
    Setup& s = setup();
    const auto keys = s.keys(word, hebrew ? s.il : s.us);
    timeDecision(state, [&](const auto& others) { return DecisionEngine::decide(keys, s.us, others, s.oracle); });
}

void BM_DecideWrongLayoutWord(benchmark::State& state)
{
    decideWord(state, "בבקשה", true);
}

void BM_DecideGenuineWord(benchmark::State& state)
{
    decideWord(state, "people", false);
}

void decideRun(benchmark::State& state, const std::string& sentence, bool hebrew)
{
    Setup& s = setup();
    const auto words = s.run(sentence, hebrew ? s.il : s.us);
    timeDecision(state, [&](const auto& others) { return DecisionEngine::decideRun(words, s.us, others, s.oracle); });
}

void BM_DecideRunOf12GenuineWords(benchmark::State& state)
{
    decideRun(state, "i think we should go to the store after work today with friends", false);
}

void BM_DecideRunOf12WrongLayoutWords(benchmark::State& state)
{
    decideRun(state, "אני רוצה ללכת הביתה עכשיו כי אני מאוד עייף היום אחרי העבודה", true);
}

// Argument 0: us+il; 1: us+il+ru.
BENCHMARK(BM_DecideWrongLayoutWord)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecideGenuineWord)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecideRunOf12GenuineWords)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecideRunOf12WrongLayoutWords)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kx
