#pragma once
// A broken invariant is logged and the caller takes its safe path instead of crashing.

#include "platform/Log.h"

#include <string>

#define KX_ASSERT(cond, action)                                                                    \
    if (!(cond)) {                                                                                 \
        ::kx::Log::line(std::string("assertion failed: " #cond " at ") + __FILE__ + ":" +          \
                        std::to_string(__LINE__));                                                 \
        action;                                                                                    \
    } else                                                                                         \
        do {                                                                                       \
        } while (0)
