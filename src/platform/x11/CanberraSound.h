#pragma once
// Theme sounds played by name through libcanberra, the freedesktop event-sound library: it finds
// the sound in the desktop's sound theme, decodes it and plays it on the sound server, without
// GStreamer. Every call into the library runs on a thread of its own, so neither the GUI thread
// nor the thread that types a rewrite ever waits for the sound system.

#include "platform/Sound.h"

#include <filesystem>
#include <memory>

namespace kx::platform::x11 {

class CanberraSound final : public Sound {
public:
    /// folder: where the theme's files are (the freedesktop theme unless a test says otherwise).
    explicit CanberraSound(std::filesystem::path folder = std::filesystem::path(themeFolder));
    ~CanberraSound() override;
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    /// A clip playing the theme's event sound name (its event.id); none, and one log line per name,
    /// when the theme has no file for it. Any thread. The clip's operations return at once; when
    /// there is no sound server it plays nothing and the log says why, once per object.
    std::unique_ptr<SoundClip> load(const std::string& name) override;

    /// The file that holds the sound name; empty when there is none, or name is a path.
    std::filesystem::path fileFor(const std::string& name) const;

    /// Whether the kernel's ALSA list of sound cards (cards: /proc/asound/cards) names one; false
    /// when it says there is none or cannot be read.
    static bool hasSoundCard(const std::filesystem::path& cards = "/proc/asound/cards");

    /// Waits until every play and stop asked so far has been handed to the sound system (tests).
    void waitUntilIdle();

    struct Player;

private:
    std::filesystem::path m_folder;
    std::shared_ptr<Player> m_player;
};

}  // namespace kx::platform::x11
