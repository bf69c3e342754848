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

/// A sound the swap may play: its theme name and the name a user reads.
struct SoundChoice {
    std::string name;
    std::string label;

    bool operator==(const SoundChoice&) const = default;
};

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

    /// The event sounds a user would pick for a swap, in the order offered. The theme's other
    /// sounds (speaker tests, ring tones, alarms, errors) are not.
    static const std::vector<SoundChoice>& eventSounds();
    /// The event sounds of the theme folder; computed once.
    static const std::vector<SoundChoice>& available();
    /// The event sounds that folder holds as .oga, .ogg or .wav files, in eventSounds' order; the
    /// first four when the folder cannot be listed or holds none of them.
    static std::vector<SoundChoice> availableIn(const std::filesystem::path& folder);
    /// The readable name of a sound; the theme name itself for one that is not an event sound.
    static std::string label(const std::string& name);

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
