#pragma once
// The swap sound: whether it plays and which of the desktop theme's sounds it is.

#include "platform/Defaults.h"
#include "platform/Observable.h"
#include "platform/Sound.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kx {

class SoundPrefs {
public:
    static constexpr const char* enabledKey = "kestrelix.swapSound";
    static constexpr const char* nameKey = "kestrelix.swapSoundName";
    /// A short, soft sound that every freedesktop theme has.
    static constexpr const char* defaultName = "message";

    /// Reads both settings from defaults; defaults and sound must outlive the object.
    SoundPrefs(Defaults& defaults, platform::Sound& sound);

    bool enabled() const { return m_enabled; }
    /// Stores the value, then tells enabledChanged.
    void setEnabled(bool enabled);

    const std::string& name() const { return m_name; }
    /// Stores the name and forgets the loaded sound, then tells nameChanged.
    void setName(const std::string& name);

    /// Plays the chosen sound from its start; a name the theme lacks plays nothing.
    void preview();

    /// The sounds of the theme folder, sorted; computed once.
    static const std::vector<std::string>& available();
    /// The sound names in folder: its .oga, .ogg and .wav files without the extension, sorted and
    /// without repeats; four common theme names when the folder cannot be listed or has none.
    static std::vector<std::string> availableIn(const std::filesystem::path& folder);

    Signal<bool> enabledChanged;
    Signal<std::string> nameChanged;

private:
    Defaults& m_defaults;
    platform::Sound& m_sound;
    bool m_enabled;
    std::string m_name;
    std::unique_ptr<platform::SoundClip> m_cached;
};

}  // namespace kx
