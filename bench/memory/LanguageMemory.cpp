// The memory each language's data takes once loaded: its spell-checker dictionary, its word list
// and its character model, measured as the heap in use (mallinfo2: every arena plus mmapped
// blocks) and the resident size before and after each load, one load at a time.
//
// Usage: kx_language_memory [LANGUAGE...]   (default: en he ru ar)

#include "engine/FrequencyList.h"
#include "engine/FrequencyOracle.h"
#include "engine/NgramModel.h"
#include "engine/SystemSpellOracle.h"
#include "platform/Text.h"

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace kx;

double heapMB()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / (1024 * 1024);
}

double residentMB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:"))
            return std::stod(line.substr(6)) / 1024;
    }
    return 0;
}

struct Cost {
    double heap = 0;
    double resident = 0;
    double milliseconds = 0;
};

Cost measure(const std::function<void()>& load)
{
    const double heap = heapMB();
    const double resident = residentMB();
    const auto start = std::chrono::steady_clock::now();
    load();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return {heapMB() - heap, residentMB() - resident, took.count()};
}

void print(const char* language, const char* part, const Cost& cost)
{
    std::printf("%-9s%-12s%10.1f%14.1f%10.0f\n", language, part, cost.heap, cost.resident, cost.milliseconds);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> languages(argv + 1, argv + argc);
    if (languages.empty())
        languages = {"en", "he", "ru", "ar"};
    FrequencyOracle::setResourceBundle(KX_SOURCE_RESOURCE_DIR);
    const std::filesystem::path folder = KX_SOURCE_RESOURCE_DIR;

    // What every language shares (Enchant's providers, ICU's case and break data) is paid first,
    // so that no language is charged for it.
    SystemSpellOracle speller;
    const Cost shared = measure([&speller] {
        speller.canCheck("en");
        text::characters(text::lowercased("Warm-up"));
    });

    std::printf("%-9s%-12s%10s%14s%10s\n", "language", "part", "heap MB", "resident MB", "ms");
    print("all", "shared", shared);
    std::vector<std::optional<FrequencyList>> lists;
    std::vector<std::shared_ptr<const NgramModel>> models;
    Cost total;
    for (const std::string& language : languages) {
        const Cost dictionary = measure([&] { speller.warmUp({language}); });
        const Cost list = measure([&] { lists.push_back(FrequencyList::load(language, folder)); });
        const Cost model = measure([&] { models.push_back(NgramModel::model(language)); });
        print(language.c_str(), "dictionary", dictionary);
        print(language.c_str(), "list", list);
        print(language.c_str(), "model", model);
        for (const Cost& cost : {dictionary, list, model}) {
            total.heap += cost.heap;
            total.resident += cost.resident;
            total.milliseconds += cost.milliseconds;
        }
    }
    print("all", "languages", total);
    return 0;
}
