#include "StoreTestSupport.h"

#include "stores/BehaviorPrefs.h"
#include "stores/SoundPrefs.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

class FakeSound final : public platform::Sound {
public:
    struct Clip final : platform::SoundClip {
        explicit Clip(std::vector<std::string>& calls) : calls(calls) {}
        void setVolume(double volume) override { calls.push_back("volume " + std::to_string(volume).substr(0, 3)); }
        void stop() override { calls.push_back("stop"); }
        void play() override { calls.push_back("play"); }
        std::vector<std::string>& calls;
    };

    std::unique_ptr<platform::SoundClip> load(const std::string& name) override
    {
        calls.push_back("load " + name);
        if (name == "missing")
            return nullptr;
        return std::make_unique<Clip>(calls);
    }

    std::vector<std::string> calls;
};

// With no settings at all every preference has its documented default.
TEST(Prefs, FreshSettingsGiveTheDefaults)
{
    MemoryDefaults defaults;
    FakeSound sound;
    const BehaviorPrefs behavior(defaults);
    const SoundPrefs swap(defaults, sound);

    EXPECT_EQ(behavior.correctionMode(), CorrectionMode::automatic);
    EXPECT_FALSE(behavior.troubleshooting());
    EXPECT_EQ(behavior.mode, DecisionMode::thorough);
    EXPECT_TRUE(swap.enabled());
    EXPECT_EQ(swap.name(), "message");
}

// Stored values of the wrong type or an unknown text read as absent; "off" is manual.
TEST(Prefs, StoredValuesAreReadTypeStrict)
{
    struct Row {
        const char* what;
        DefaultsValue mode, troubleshooting, swapSound;
        CorrectionMode expectedMode;
        bool expectedTroubleshooting, expectedSound;
    };
    const Row rows[] = {
        {"legacy off", std::string("off"), true, false, CorrectionMode::manual, true, false},
        {"known mode", std::string("ask"), false, true, CorrectionMode::ask, false, true},
        {"wrong case", std::string("Ask"), std::string("true"), std::string("no"), CorrectionMode::automatic, false,
         true},
        {"wrong types", std::int64_t{1}, std::int64_t{1}, std::int64_t{0}, CorrectionMode::automatic, false, true},
    };
    for (const Row& row : rows) {
        MemoryDefaults defaults;
        defaults.set(BehaviorPrefs::correctionModeKey, row.mode);
        defaults.set(BehaviorPrefs::troubleshootingKey, row.troubleshooting);
        defaults.set(SoundPrefs::enabledKey, row.swapSound);
        FakeSound sound;
        const BehaviorPrefs behavior(defaults);
        const SoundPrefs swap(defaults, sound);
        EXPECT_EQ(behavior.correctionMode(), row.expectedMode) << row.what;
        EXPECT_EQ(behavior.troubleshooting(), row.expectedTroubleshooting) << row.what;
        EXPECT_EQ(swap.enabled(), row.expectedSound) << row.what;
    }
}

// An assignment is stored before subscribers hear of it; a dropped subscription hears nothing.
TEST(Prefs, AssignmentsAreStoredAndAnnounced)
{
    MemoryDefaults defaults;
    BehaviorPrefs behavior(defaults);
    std::vector<std::string> heard;
    auto subscription = behavior.correctionModeChanged.subscribe([&](CorrectionMode mode) {
        heard.push_back(std::string(mode.rawValue()) + " stored " +
                        defaults.string(BehaviorPrefs::correctionModeKey).value());
    });

    behavior.setCorrectionMode(CorrectionMode::ask);
    subscription.reset();
    behavior.setCorrectionMode(CorrectionMode::manual);
    behavior.setTroubleshooting(true);

    EXPECT_EQ(heard, std::vector<std::string>{"ask stored ask"});
    EXPECT_EQ(defaults.string(BehaviorPrefs::correctionModeKey), "manual");
    EXPECT_EQ(defaults.boolean(BehaviorPrefs::troubleshootingKey), true);
    EXPECT_EQ(BehaviorPrefs(defaults).correctionMode(), CorrectionMode::manual);
}

// Previewing loads once and restarts the sound; a new name loads anew; an unknown one plays nothing.
TEST(Prefs, PreviewRestartsAndFollowsTheName)
{
    MemoryDefaults defaults;
    FakeSound sound;
    SoundPrefs swap(defaults, sound);

    swap.preview();
    swap.preview();
    swap.setName("bell");
    swap.preview();
    swap.setName("missing");
    swap.preview();

    const std::vector<std::string> expected = {"load message", "volume 0.6", "stop", "play", "stop",        "play",
                                               "load bell",    "volume 0.6", "stop", "play", "load missing"};
    EXPECT_EQ(sound.calls, expected);
    EXPECT_EQ(defaults.string(SoundPrefs::nameKey), "missing");
}

// Only event sounds are offered, with readable names, in a fixed order, and only those the theme
// folder holds; without any, the four every theme has.
TEST(Prefs, AvailableSoundsAreTheThemesEventSounds)
{
    test::StoreFolder folder;
    const auto theme = folder.root / "stereo";
    for (const char* file : {"message.oga", "bell.ogg", "complete.wav", "bell.oga", "audio-channel-rear-left.oga",
                             "phone-outgoing-busy.oga", "readme.txt", "window-attention"})
        test::StoreFolder::writeText(theme / file, "");
    std::filesystem::create_directory(theme / "dialog-warning.oga");

    EXPECT_EQ(SoundPrefs::availableIn(theme),
              (std::vector<SoundChoice>{{"message", "Message"}, {"complete", "Complete"}, {"bell", "Bell"}}));
    const std::vector<SoundChoice> fallback = {
        {"message", "Message"}, {"complete", "Complete"}, {"bell", "Bell"}, {"dialog-information", "Information"}};
    EXPECT_EQ(SoundPrefs::availableIn(folder.root / "absent"), fallback);
    std::filesystem::create_directory(folder.root / "empty");
    EXPECT_EQ(SoundPrefs::availableIn(folder.root / "empty"), fallback);

    EXPECT_EQ(SoundPrefs::label("message-new-instant"), "Instant message");
    EXPECT_EQ(SoundPrefs::label("phone-outgoing-busy"), "phone-outgoing-busy");
    // The installed theme: every offered sound is there, and none is a speaker test or a ring tone.
    for (const SoundChoice& sound : SoundPrefs::available()) {
        EXPECT_EQ(sound.name.find("audio-channel"), std::string::npos);
        EXPECT_EQ(sound.name.find("phone"), std::string::npos);
    }
}

}  // namespace
}  // namespace kx
