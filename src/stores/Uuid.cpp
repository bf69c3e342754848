#include "stores/Uuid.h"

#include <random>

namespace kx {

Uuid Uuid::make()
{
    // All 122 random bits come from the system's entropy source: a generator seeded with one
    // 32-bit value would repeat its identities in any two runs that drew the same seed.
    thread_local std::random_device entropy;
    Uuid uuid;
    for (std::size_t i = 0; i < uuid.m_bytes.size(); i += 4) {
        const std::uint32_t bits = entropy();
        for (std::size_t j = 0; j < 4; ++j)
            uuid.m_bytes[i + j] = static_cast<std::uint8_t>(bits >> (8 * j));
    }
    uuid.m_bytes[6] = static_cast<std::uint8_t>((uuid.m_bytes[6] & 0x0F) | 0x40);  // version 4
    uuid.m_bytes[8] = static_cast<std::uint8_t>((uuid.m_bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return uuid;
}

std::optional<Uuid> Uuid::parse(std::string_view text)
{
    if (text.size() != 36)
        return std::nullopt;
    Uuid uuid;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        int value = 0;
        for (int half = 0; half < 2; ++half, ++i) {
            const char c = text[i];
            int digit = 0;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return std::nullopt;
            value = value * 16 + digit;
        }
        uuid.m_bytes[byte++] = static_cast<std::uint8_t>(value);
    }
    return uuid;
}

std::string Uuid::text() const
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < m_bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        out += digits[m_bytes[i] >> 4];
        out += digits[m_bytes[i] & 0x0F];
    }
    return out;
}

}  // namespace kx
