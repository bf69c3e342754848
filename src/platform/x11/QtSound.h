#pragma once
// Theme sounds played with Qt Multimedia. The theme's files are Ogg Vorbis, which QSoundEffect
// cannot decode, so each clip is a media player with its own audio output.

#include "platform/Sound.h"

#include <filesystem>

namespace kx::platform::x11 {

class QtSound final : public Sound {
public:
    /// folder: where the theme's files are (the freedesktop theme unless a test says otherwise).
    explicit QtSound(std::filesystem::path folder = std::filesystem::path(themeFolder));

    /// A clip for the first of name + extensions that exists; none when there is none. Call it on
    /// the GUI thread; the clip's operations may come from any thread and run on that one. Without
    /// a sound server a clip plays nothing and logs why once.
    std::unique_ptr<SoundClip> load(const std::string& name) override;

    /// The file load(name) would play; empty when there is none.
    std::filesystem::path fileFor(const std::string& name) const;

private:
    std::filesystem::path m_folder;
};

}  // namespace kx::platform::x11
