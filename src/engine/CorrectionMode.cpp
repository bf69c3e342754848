#include "engine/CorrectionMode.h"

namespace kx {

std::string_view CorrectionMode::rawValue() const
{
    switch (m_value) {
    case automatic:
        return "automatic";
    case ask:
        return "ask";
    case manual:
        return "manual";
    }
    return "automatic";
}

std::optional<CorrectionMode> CorrectionMode::fromRawValue(std::string_view raw)
{
    for (const CorrectionMode mode : allCases()) {
        if (mode.rawValue() == raw)
            return mode;
    }
    return std::nullopt;
}

CorrectionMode CorrectionMode::fromStored(std::optional<std::string_view> stored)
{
    if (stored == "off")
        return manual;
    if (stored) {
        if (const auto mode = fromRawValue(*stored))
            return *mode;
    }
    return automatic;
}

}  // namespace kx
