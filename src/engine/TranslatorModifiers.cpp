#include "engine/TranslatorModifiers.h"

#include "platform/KeyStroke.h"

namespace kx {

std::uint32_t translatorModifiers(std::uint64_t flags)
{
    const auto low = std::uint32_t(flags & 0xffffffffu);
    std::uint32_t state = 0;
    if (low & EventFlags::shift)
        state += 2;
    if (low & EventFlags::capsLock)
        state += 4;
    if (low & EventFlags::option)
        state += 8;
    return state;
}

}  // namespace kx
