#include "app/ResourceCheck.h"

#include "engine/FrequencyList.h"
#include "engine/FrequencyOracle.h"
#include "ui/Assets.h"

#include <iostream>

namespace kx {

std::vector<std::string> ResourceCheck::missing(const std::optional<std::filesystem::path>& folder)
{
    std::vector<std::string> names;
    for (const char* code : {"en", "he", "ar"}) {
        if (!folder || !FrequencyList::load(FrequencyOracle::key(code), *folder))
            names.push_back(std::string("freq-") + code + ".txt");
    }
    for (const char* image : {"kestrelix_logo", "kestrelix_mono"}) {
        if (Assets::image(folder, image).isNull())
            names.push_back(std::string(image) + ".png");
    }
    return names;
}

int ResourceCheck::run()
{
    const std::vector<std::string> names = missing(FrequencyOracle::resourceBundle());
    if (names.empty()) {
        std::cout << "resources ok\n";
        return 0;
    }
    std::cout << "MISSING: ";
    for (std::size_t i = 0; i < names.size(); ++i)
        std::cout << (i ? ", " : "") << names[i];
    std::cout << '\n';
    return 1;
}

}  // namespace kx
