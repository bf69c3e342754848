#pragma once
// The user's keys held back while a rewrite is being typed, replayed in typing order when it ends.

#include "engine/KeyStroke.h"

#include <cstddef>
#include <vector>

namespace kx {

struct KeyHold {
    std::vector<KeyStroke> keys;
    std::size_t limit = 24;
};

}  // namespace kx
