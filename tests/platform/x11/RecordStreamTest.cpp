#include "platform/x11/RecordStream.h"

#include <gtest/gtest.h>

// After GoogleTest: X.h defines None.
#include <X11/X.h>
#include <X11/Xproto.h>
#include <X11/extensions/recordconst.h>

#include <array>
#include <vector>

namespace kx::platform::x11 {
namespace {

constexpr std::uint32_t ours = 0x200000;
constexpr std::uint32_t xdotool = 0x600000;
constexpr int xtestOpcode = 132;
constexpr int xkbOpcode = 135;

// Records as XRecord hands them over; a little-endian host is assumed for the unswapped ones.
struct Records {
    std::vector<std::vector<unsigned char>> bytes;

    Intercept event(unsigned type, unsigned detail, unsigned state = 0, int x = 0, int y = 0, bool swapped = false,
                    std::uint32_t time = 0)
    {
        std::vector<unsigned char> data(32, 0);
        data[0] = static_cast<unsigned char>(type);
        data[1] = static_cast<unsigned char>(detail);
        const auto put16 = [&](std::size_t at, unsigned value) {
            data[swapped ? at + 1 : at] = value & 0xFF;
            data[swapped ? at : at + 1] = (value >> 8) & 0xFF;
        };
        put16(20, static_cast<unsigned>(x) & 0xFFFF);
        put16(22, static_cast<unsigned>(y) & 0xFFFF);
        put16(28, state);
        put16(swapped ? 6 : 4, time & 0xFFFF);
        put16(swapped ? 4 : 6, time >> 16);
        bytes.push_back(std::move(data));
        return {.category = XRecordFromServer, .idBase = 0, .swapped = swapped, .data = bytes.back()};
    }
    Intercept fake(std::uint32_t client, unsigned type, unsigned detail)
    {
        std::vector<unsigned char> data(36, 0);
        data[0] = xtestOpcode;
        data[1] = 2;  // X_XTestFakeInput
        data[4] = static_cast<unsigned char>(type);
        data[5] = static_cast<unsigned char>(detail);
        bytes.push_back(std::move(data));
        return {.category = XRecordFromClient, .idBase = client, .swapped = false, .data = bytes.back()};
    }
    Intercept request(std::uint32_t client, unsigned major)
    {
        bytes.push_back(std::vector<unsigned char>(16, 0));
        bytes.back()[0] = static_cast<unsigned char>(major);
        return {.category = XRecordFromClient, .idBase = client, .swapped = false, .data = bytes.back()};
    }
    // XKB's LatchLockState; locks the group when lockGroup is set.
    Intercept latchLock(std::uint32_t client, bool lockGroup, unsigned group, unsigned minor = 5)
    {
        Intercept record = request(client, xkbOpcode);
        bytes.back()[1] = static_cast<unsigned char>(minor);
        bytes.back()[8] = lockGroup ? 1 : 0;
        bytes.back()[9] = static_cast<unsigned char>(group);
        return record;
    }
};

class RecordStreamTest : public ::testing::Test {
protected:
    RecordStream stream{ours, xtestOpcode, xkbOpcode};
    Records records;

    // Feeds the records; the presses that came out.
    std::vector<DeviceInput> feed(std::initializer_list<Intercept> list)
    {
        std::vector<DeviceInput> out;
        for (const auto& record : list)
            if (auto input = stream.feed(record))
                out.push_back(*input);
        return out;
    }
};

// A press right after our own fake-input request is ours; after another client's, or with none, it is not.
TEST_F(RecordStreamTest, OwnFakeInputIsOurs)
{
    const auto presses = feed({
        records.fake(ours, KeyPress, 38),
        records.event(KeyPress, 38),
        records.fake(ours, KeyRelease, 38),
        records.event(KeyRelease, 38),
        records.fake(xdotool, KeyPress, 38),
        records.event(KeyPress, 38),
        records.event(KeyPress, 39),
    });
    ASSERT_EQ(presses.size(), 3u);
    EXPECT_TRUE(presses[0].ours);
    EXPECT_FALSE(presses[1].ours);
    EXPECT_FALSE(presses[2].ours);
}

// A fake request that made no event (its key was already down) does not claim the next press.
TEST_F(RecordStreamTest, FakeThatMadeNoEventClaimsNothing)
{
    const auto presses = feed({
        records.fake(ours, KeyPress, 37),
        records.fake(xdotool, KeyPress, 52),
        records.event(KeyPress, 52),
        records.fake(ours, KeyPress, 50),
        records.event(KeyPress, 38),
    });
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_FALSE(presses[0].ours);
    EXPECT_FALSE(presses[1].ours);
}

// Keys between our grab and our ungrab were held back; our own keys posted through the hold were not.
TEST_F(RecordStreamTest, OurGrabHoldsOtherKeys)
{
    const auto presses = feed({
        records.event(KeyPress, 38),
        records.request(ours, X_GrabKeyboard),
        records.event(KeyPress, 39),
        records.request(ours, X_UngrabKeyboard),
        records.fake(ours, KeyPress, 22),
        records.event(KeyPress, 22),
        records.request(ours, X_GrabKeyboard),
        records.event(KeyPress, 40),
        records.event(ButtonPress, 1),
        records.request(ours, X_UngrabKeyboard),
        records.request(xdotool, X_GrabKeyboard),
        records.event(KeyPress, 41),
    });
    ASSERT_EQ(presses.size(), 6u);
    EXPECT_FALSE(presses[0].held);
    EXPECT_TRUE(presses[1].held);
    EXPECT_TRUE(presses[2].ours);
    EXPECT_FALSE(presses[2].held);
    EXPECT_TRUE(presses[3].held);
    EXPECT_FALSE(presses[4].held) << "a click is never held";
    EXPECT_FALSE(presses[5].held) << "another client's grab is not ours";
}

// Our own NoOperation request is the barrier, in its place among the presses; another client's is not.
TEST_F(RecordStreamTest, OwnNoOperationIsTheBarrier)
{
    const auto presses = feed({
        records.request(ours, X_GrabKeyboard),
        records.event(KeyPress, 38),
        records.request(xdotool, X_NoOperation),
        records.request(ours, X_NoOperation),
        records.event(KeyPress, 39),
    });
    ASSERT_EQ(presses.size(), 3u);
    EXPECT_EQ(presses[0].detail, 38u);
    EXPECT_EQ(presses[1].kind, DeviceInput::Kind::barrier);
    EXPECT_EQ(presses[2].detail, 39u);
    EXPECT_TRUE(presses[2].held);
}

// Our own group lock is marked in its place among the presses; another client's, a latch or
// another XKB request is not.
TEST_F(RecordStreamTest, OwnGroupLockIsMarkedAmongThePresses)
{
    const auto presses = feed({
        records.event(KeyPress, 38),
        records.latchLock(xdotool, true, 1),
        records.latchLock(ours, false, 1),
        records.latchLock(ours, true, 1, 6),
        records.latchLock(ours, true, 2),
        records.event(KeyPress, 39),
    });
    ASSERT_EQ(presses.size(), 3u);
    EXPECT_EQ(presses[0].detail, 38u);
    EXPECT_EQ(presses[1], (DeviceInput{.kind = DeviceInput::Kind::groupLocked, .detail = 2}));
    EXPECT_EQ(presses[2].detail, 39u);
}

// Event fields are read in either byte order; releases and other records give no press.
TEST_F(RecordStreamTest, DecodesPressFields)
{
    const auto presses = feed({
        records.event(KeyPress, 45, ControlMask | Mod1Mask | (1u << 13), 0, 0, false, 0x89ABCDEF),
        records.event(ButtonPress, 3, 0, 1279, -3, true, 0x01234567),
        records.event(KeyRelease, 45),
        records.event(MotionNotify, 0),
        {.category = XRecordStartOfData, .idBase = 0, .swapped = false, .data = {}},
    });
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_EQ(presses[0].kind, DeviceInput::Kind::keyPress);
    EXPECT_EQ(presses[0].detail, 45u);
    EXPECT_EQ(presses[0].state, ControlMask | Mod1Mask | (1u << 13));
    EXPECT_EQ(presses[0].time, 0x89ABCDEFu);
    EXPECT_EQ(presses[1].kind, DeviceInput::Kind::buttonPress);
    EXPECT_EQ(presses[1].detail, 3u);
    EXPECT_EQ(presses[1].rootX, 1279);
    EXPECT_EQ(presses[1].rootY, -3);
    EXPECT_EQ(presses[1].time, 0x01234567u);
}

}  // namespace
}  // namespace kx::platform::x11
