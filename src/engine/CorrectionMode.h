#pragma once
// How a word typed on the wrong layout is handled: rewritten at once, offered, or left alone.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace kx {

class CorrectionMode {
public:
    enum Value : std::uint8_t { automatic, ask, manual };

    constexpr CorrectionMode(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    /// Every mode, in the order the mode selector shows them.
    static constexpr std::array<CorrectionMode, 3> allCases() { return {automatic, ask, manual}; }
    /// The mode whose raw value is exactly raw; none otherwise.
    static std::optional<CorrectionMode> fromRawValue(std::string_view raw);
    /// The mode of a stored setting: "off" is manual, a raw value its mode, anything else automatic.
    static CorrectionMode fromStored(std::optional<std::string_view> stored);

    /// "automatic", "ask", "manual".
    std::string_view rawValue() const;

private:
    Value m_value;
};

}  // namespace kx

template <>
struct std::hash<kx::CorrectionMode> {
    std::size_t operator()(kx::CorrectionMode mode) const noexcept
    {
        return std::hash<int>()(static_cast<int>(static_cast<kx::CorrectionMode::Value>(mode)));
    }
};
