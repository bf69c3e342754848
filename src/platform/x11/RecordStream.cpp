#include "platform/x11/RecordStream.h"

#include <X11/X.h>
#include <X11/Xproto.h>
#include <X11/extensions/XKBproto.h>
#include <X11/extensions/recordconst.h>
#include <X11/extensions/xtestproto.h>

#include <bit>
#include <utility>

namespace kx::platform::x11 {

namespace {

// Offsets in the 32-byte core event and in the XTEST FakeInput request.
constexpr std::size_t eventSize = 32;
constexpr std::size_t timeOffset = 4;
constexpr std::size_t rootXOffset = 20;
constexpr std::size_t rootYOffset = 22;
constexpr std::size_t stateOffset = 28;
constexpr std::size_t fakeTypeOffset = 4;
constexpr std::size_t fakeDetailOffset = 5;
constexpr std::size_t fakeRequestSize = 8;
// In XKB's LatchLockState request: whether it locks the group, and the group.
constexpr std::size_t lockGroupOffset = 8;
constexpr std::size_t groupLockOffset = 9;

std::uint16_t read16(std::span<const unsigned char> data, std::size_t at, bool swapped)
{
    const unsigned first = data[at];
    const unsigned second = data[at + 1];
    const bool littleEndian = std::endian::native == std::endian::little;
    return static_cast<std::uint16_t>(littleEndian != swapped ? (second << 8) | first : (first << 8) | second);
}

std::uint32_t read32(std::span<const unsigned char> data, std::size_t at, bool swapped)
{
    const std::uint32_t low = read16(data, at, swapped);
    const std::uint32_t high = read16(data, at + 2, swapped);
    const bool littleEndian = std::endian::native == std::endian::little;
    return littleEndian != swapped ? (high << 16) | low : (low << 16) | high;
}

}  // namespace

std::optional<DeviceInput> RecordStream::feed(const Intercept& record)
{
    if (record.category == XRecordFromClient)
        return takeRequest(record);
    if (record.category != XRecordFromServer || record.data.size() < eventSize)
        return std::nullopt;

    const unsigned type = record.data[0] & 0x7F;
    const unsigned detail = record.data[1];
    // Whatever follows a fake-input request belongs to it only if it is that very event.
    const auto fake = std::exchange(m_lastFake, std::nullopt);
    const bool fromFake = fake && fake->type == type && fake->detail == detail;
    if (type != KeyPress && type != ButtonPress)
        return std::nullopt;

    DeviceInput input;
    input.kind = type == KeyPress ? DeviceInput::Kind::keyPress : DeviceInput::Kind::buttonPress;
    input.detail = detail;
    input.state = read16(record.data, stateOffset, record.swapped);
    input.time = read32(record.data, timeOffset, record.swapped);
    input.rootX = static_cast<std::int16_t>(read16(record.data, rootXOffset, record.swapped));
    input.rootY = static_cast<std::int16_t>(read16(record.data, rootYOffset, record.swapped));
    input.ours = fromFake && fake->ours;
    input.held = m_grabbed && type == KeyPress && !input.ours;
    return input;
}

std::optional<DeviceInput> RecordStream::takeRequest(const Intercept& record)
{
    if (record.data.empty())
        return std::nullopt;
    const bool ours = record.idBase == m_ownBase;
    const unsigned major = record.data[0];
    if (static_cast<int>(major) == m_xtestOpcode && record.data.size() >= fakeRequestSize &&
        record.data[1] == X_XTestFakeInput) {
        m_lastFake = FakeRequest{ours, record.data[fakeTypeOffset] & 0x7Fu, record.data[fakeDetailOffset]};
        return std::nullopt;
    }
    m_lastFake.reset();
    if (!ours)
        return std::nullopt;
    if (static_cast<int>(major) == m_xkbOpcode) {
        if (record.data.size() >= sz_xkbLatchLockStateReq && record.data[1] == X_kbLatchLockState &&
            record.data[lockGroupOffset] != 0)
            return DeviceInput{.kind = DeviceInput::Kind::groupLocked, .detail = record.data[groupLockOffset]};
        return std::nullopt;
    }
    if (major == X_GrabKeyboard)
        m_grabbed = true;
    else if (major == X_UngrabKeyboard)
        m_grabbed = false;
    if (major == X_NoOperation)
        return DeviceInput{.kind = DeviceInput::Kind::barrier};
    return std::nullopt;
}

}  // namespace kx::platform::x11
