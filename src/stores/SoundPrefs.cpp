#include "stores/SoundPrefs.h"

#include <algorithm>
#include <system_error>

namespace kx {

SoundPrefs::SoundPrefs(Defaults& defaults, platform::Sound& sound)
    : m_defaults(defaults),
      m_sound(sound),
      m_enabled(defaults.boolean(enabledKey).value_or(true)),
      m_name(defaults.string(nameKey).value_or(defaultName))
{}

void SoundPrefs::setEnabled(bool enabled)
{
    m_enabled = enabled;
    m_defaults.set(enabledKey, enabled);
    enabledChanged.notify(enabled);
}

void SoundPrefs::setName(const std::string& name)
{
    m_name = name;
    m_defaults.set(nameKey, name);
    m_cached.reset();
    nameChanged.notify(name);
}

void SoundPrefs::preview()
{
    if (!m_cached) {
        m_cached = m_sound.load(m_name);
        if (m_cached)
            m_cached->setVolume(0.6);
    }
    if (m_cached) {
        // Stopping first makes a sound that is still playing start over.
        m_cached->stop();
        m_cached->play();
    }
}

const std::vector<SoundChoice>& SoundPrefs::eventSounds()
{
    // Short notices of the freedesktop sound theme's names, the default first.
    static const std::vector<SoundChoice> sounds = {
        {"message", "Message"},
        {"complete", "Complete"},
        {"bell", "Bell"},
        {"dialog-information", "Information"},
        {"message-new-instant", "Instant message"},
        {"window-attention", "Attention"},
        {"window-question", "Question"},
        {"dialog-warning", "Warning"},
        {"audio-volume-change", "Volume change"},
        {"camera-shutter", "Camera shutter"},
        {"screen-capture", "Screen capture"},
        {"trash-empty", "Trash emptied"},
        {"device-added", "Device added"},
        {"service-login", "Log in"},
    };
    return sounds;
}

const std::vector<SoundChoice>& SoundPrefs::available()
{
    static const std::vector<SoundChoice> sounds = availableIn(platform::Sound::themeFolder);
    return sounds;
}

std::vector<SoundChoice> SoundPrefs::availableIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::filesystem::path& file = it->path();
        const auto& kinds = platform::Sound::extensions;
        if (std::find(std::begin(kinds), std::end(kinds), file.extension().string()) == std::end(kinds))
            continue;
        std::error_code ignored;
        if (it->is_regular_file(ignored))
            names.push_back(file.stem().string());
    }
    std::vector<SoundChoice> found;
    for (const SoundChoice& sound : eventSounds())
        if (std::find(names.begin(), names.end(), sound.name) != names.end())
            found.push_back(sound);
    // Names every freedesktop theme has, so a picker still offers the default sound.
    if (found.empty())
        return {eventSounds().begin(), eventSounds().begin() + 4};
    return found;
}

std::string SoundPrefs::label(const std::string& name)
{
    for (const SoundChoice& sound : eventSounds())
        if (sound.name == name)
            return sound.label;
    return name;
}

}  // namespace kx
