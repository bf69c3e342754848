#include "stores/SoundPrefs.h"

#include <algorithm>
#include <system_error>

namespace kx {

SoundPrefs::SoundPrefs(Defaults& defaults, platform::Sound& sound)
    : m_defaults(defaults),
      m_sound(sound),
      m_enabled(defaults.boolean(enabledKey).value_or(true)),
      m_name(defaults.string(nameKey).value_or(defaultName))
{
}

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

const std::vector<std::string>& SoundPrefs::available()
{
    static const std::vector<std::string> names = availableIn(platform::Sound::themeFolder);
    return names;
}

std::vector<std::string> SoundPrefs::availableIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::filesystem::path& file = it->path();
        const auto& kinds = platform::Sound::extensions;
        if (std::find(std::begin(kinds), std::end(kinds), file.extension().string()) == std::end(kinds))
            continue;
        std::error_code ignored;
        if (it->is_regular_file(ignored) && !file.stem().empty())
            names.push_back(file.stem().string());
    }
    // Names every freedesktop theme has, so a picker still offers the default sound.
    if (names.empty())
        return {"bell", "message", "complete", "dialog-information"};
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace kx
