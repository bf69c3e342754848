#include "platform/x11/CanberraSound.h"

#include "ScopedLog.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace kx::platform::x11 {
namespace {

// Waits up to seconds for the log to hold text.
bool logShows(const test::ScopedLog& log, const std::string& text, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (log.text().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A name finds its file by the extensions in order; names that are paths find nothing.
TEST(CanberraSoundFiles, NameFindsItsFileOnly)
{
    test::TempFolder theme{"kx-sounds"};
    std::ofstream(theme / "Blow.wav") << "x";
    std::ofstream(theme / "Blow.oga") << "x";
    std::ofstream(theme / "Pop.ogg") << "x";
    std::filesystem::create_directories(theme / "sub");
    std::ofstream(theme / "sub/Deep.oga") << "x";
    const CanberraSound sound(theme.path());
    EXPECT_EQ(sound.fileFor("Blow"), theme / "Blow.oga");
    EXPECT_EQ(sound.fileFor("Pop"), theme / "Pop.ogg");
    for (const char* name : {"Missing", "", "sub/Deep", "../Blow", ".."})
        EXPECT_TRUE(sound.fileFor(name).empty()) << name;
}

// A name the theme lacks gives no clip and one log line, however often it is asked for.
TEST(CanberraSoundFiles, MissingNameIsLoggedOnce)
{
    test::TempFolder folder{"kx-sound-log"};
    test::TempFolder theme{"kx-sounds"};
    const test::ScopedLog log(folder / "kestrelix.log");
    CanberraSound sound(theme.path());
    EXPECT_EQ(sound.load("no-such-sound"), nullptr);
    EXPECT_EQ(sound.load("no-such-sound"), nullptr);
    EXPECT_EQ(occurrences(log.text(), "sound no-such-sound: not in the sound theme"), 1u);
}

// With no sound server or device, playing is asked of the sound system, every call returns at
// once, the failure is logged once, and the sound thread is free again afterwards.
TEST(CanberraSoundPlay, NothingBlocksWithoutSoundServer)
{
    // ALSA with an empty configuration has no device at all; there is no other backend.
    ::setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
    test::TempFolder folder{"kx-sound-log"};
    const test::ScopedLog log(folder / "kestrelix.log");
    CanberraSound sound;
    if (sound.fileFor("bell").empty())
        GTEST_SKIP() << "the freedesktop sound theme is not installed";
    auto clip = sound.load("bell");
    ASSERT_NE(clip, nullptr);
    clip->setVolume(0.6);
    for (int i = 0; i < 3; ++i) {
        clip->stop();
        clip->play();
    }
    ASSERT_TRUE(logShows(log, "sound bell cannot play", 10)) << log.text();
    sound.waitUntilIdle();
    EXPECT_EQ(occurrences(log.text(), "cannot play"), 1u) << log.text();

    auto other = sound.load("message");
    ASSERT_NE(other, nullptr);
    other->play();
    sound.waitUntilIdle();
    EXPECT_EQ(occurrences(log.text(), "cannot play"), 1u) << "the sound system's failure is told once";
}

}  // namespace
}  // namespace kx::platform::x11
