#include "platform/x11/CanberraSound.h"

#include "ScopedLog.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

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

// The kernel's card list: a card line counts, its "no soundcards" line or no list at all does not.
TEST(CanberraSoundFiles, SoundCardFromTheKernelList)
{
    test::TempFolder folder{"kx-asound"};
    std::ofstream(folder / "none") << "--- no soundcards ---\n";
    std::ofstream(folder / "one") << " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
                                     "                      HDA Intel PCH at 0xf7f00000 irq 32\n";
    EXPECT_FALSE(CanberraSound::hasSoundCard(folder / "none"));
    EXPECT_TRUE(CanberraSound::hasSoundCard(folder / "one"));
    EXPECT_FALSE(CanberraSound::hasSoundCard(folder / "absent"));
}

// Without a sound card a sound writes nothing to standard error (ALSA would, eight lines a sound).
TEST(CanberraSoundPlay, QuietWithoutSoundCard)
{
    if (CanberraSound::hasSoundCard())
        GTEST_SKIP() << "this machine has a sound card";
    test::TempFolder folder{"kx-stderr"};
    CanberraSound sound;
    auto clip = sound.load("bell");
    if (!clip)
        GTEST_SKIP() << "the freedesktop sound theme is not installed";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int file = ::open((folder / "stderr").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ::dup2(file, STDERR_FILENO);
    clip->play();
    clip->play();
    sound.waitUntilIdle();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(file);
    EXPECT_EQ(std::filesystem::file_size(folder / "stderr"), 0u);
}

}  // namespace
}  // namespace kx::platform::x11
