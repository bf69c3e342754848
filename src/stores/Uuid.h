#pragma once
// Random (version 4) UUIDs: the identities of history records.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

class Uuid {
public:
    /// A new random identity.
    static Uuid make();
    /// "E621E1F8-C36C-495A-93FC-0C247A3E6E5F" in either case; none for any other text.
    static std::optional<Uuid> parse(std::string_view text);

    /// Upper-case, with the four hyphens.
    std::string text() const;

    auto operator<=>(const Uuid&) const = default;

private:
    std::array<std::uint8_t, 16> m_bytes{};
};

}  // namespace kx
