#pragma once
// Short sounds of the desktop's sound theme, played by name (the swap sound and its preview).

#include <memory>
#include <string>
#include <string_view>

namespace kx::platform {

/// One loaded sound, ready to play again and again.
class SoundClip {
public:
    virtual ~SoundClip() = default;
    /// 0.0 (silent) to 1.0 (full).
    virtual void setVolume(double volume) = 0;
    /// Stops it if it is playing; nothing otherwise.
    virtual void stop() = 0;
    /// Plays it from the start, without waiting for the end.
    virtual void play() = 0;
};

class Sound {
public:
    /// The freedesktop theme's sounds; each file is named after its sound.
    static constexpr std::string_view themeFolder = "/usr/share/sounds/freedesktop/stereo";
    /// The file kinds a sound may be stored as, in the order they are looked for.
    static constexpr std::string_view extensions[] = {".oga", ".ogg", ".wav"};

    virtual ~Sound() = default;

    /// The theme's sound called name (a file name without its extension); none when there is no
    /// such sound. An implementation that learns of a missing sound only when playing it gives a
    /// clip that plays nothing.
    virtual std::unique_ptr<SoundClip> load(const std::string& name) = 0;
};

}  // namespace kx::platform
