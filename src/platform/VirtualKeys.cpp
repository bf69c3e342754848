#include "platform/VirtualKeys.h"

#include <array>
#include <utility>

namespace kx::platform {

namespace {

// {virtual key code, evdev code}
constexpr std::array<std::pair<std::uint16_t, std::uint32_t>, 66> kKeys{{
    {0, 30},    {1, 31},    {2, 32},    {3, 33},    {4, 35},    {5, 34},    {6, 44},    {7, 45},    {8, 46},
    {9, 47},    {10, 86},   {11, 48},   {12, 16},   {13, 17},   {14, 18},   {15, 19},   {16, 21},   {17, 20},
    {18, 2},    {19, 3},    {20, 4},    {21, 5},    {22, 7},    {23, 6},    {24, 13},   {25, 10},   {26, 8},
    {27, 12},   {28, 9},    {29, 11},   {30, 27},   {31, 24},   {32, 22},   {33, 26},   {34, 23},   {35, 25},
    {36, 28},   {37, 38},   {38, 36},   {39, 40},   {40, 37},   {41, 39},   {42, 43},   {43, 51},   {44, 53},
    {45, 49},   {46, 50},   {47, 52},   {48, 15},   {49, 57},   {50, 41},   {51, 14},   {53, 1},    {56, 42},
    {57, 58},   {60, 54},   {76, 96},   {115, 102}, {116, 104}, {117, 111}, {119, 107}, {121, 109}, {123, 105},
    {124, 106}, {125, 108}, {126, 103},
}};

}  // namespace

std::optional<std::uint32_t> VirtualKeys::evdevCode(std::uint16_t virtualKey)
{
    for (const auto& [vk, evdev] : kKeys) {
        if (vk == virtualKey)
            return evdev;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> VirtualKeys::virtualKeyCode(std::uint32_t evdev)
{
    for (const auto& [vk, code] : kKeys) {
        if (code == evdev)
            return vk;
    }
    return std::nullopt;
}

}  // namespace kx::platform
