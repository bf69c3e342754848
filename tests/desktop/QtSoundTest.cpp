#include "platform/x11/QtSound.h"

#include "DesktopSession.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kx::platform::x11 {
namespace {

using test::DesktopSession;

// A name finds its file by the extensions in order; names that are paths find nothing.
TEST(QtSoundFiles, NameFindsItsFileOnly)
{
    test::TempFolder theme{"kx-sounds"};
    std::ofstream(theme / "Blow.wav") << "x";
    std::ofstream(theme / "Blow.oga") << "x";
    std::ofstream(theme / "Pop.ogg") << "x";
    std::filesystem::create_directories(theme / "sub");
    std::ofstream(theme / "sub/Deep.oga") << "x";
    const QtSound sound(theme.path());
    EXPECT_EQ(sound.fileFor("Blow"), theme / "Blow.oga");
    EXPECT_EQ(sound.fileFor("Pop"), theme / "Pop.ogg");
    for (const char* name : {"Missing", "", "sub/Deep", "../Blow", ".."})
        EXPECT_TRUE(sound.fileFor(name).empty()) << name;
}

// A theme sound plays, repeats and stops without a sound server: no crash, no hang.
TEST(QtSoundPlay, PlaysWithoutSoundServer)
{
    if (!DesktopSession::shared().ready())
        GTEST_SKIP() << DesktopSession::shared().why();
    QtSound sound;
    if (sound.fileFor("bell").empty())
        GTEST_SKIP() << "the freedesktop sound theme is not installed";
    EXPECT_EQ(sound.load("no-such-sound"), nullptr);
    auto clip = sound.load("bell");
    ASSERT_NE(clip, nullptr);
    clip->setVolume(0.6);
    clip->play();
    DesktopSession::waitFor([] { return false; }, 0.3);
    clip->play();
    clip->stop();
    DesktopSession::waitFor([] { return false; }, 0.2);
    clip.reset();
}

}  // namespace
}  // namespace kx::platform::x11
