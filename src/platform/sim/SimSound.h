#pragma once
// The sounds of the simulated desktop: every name loads unless the test removed it, and each play
// is recorded with the clip's volume at that moment.

#include "platform/Sound.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kx::sim {

struct SoundPlay {
    std::string name;
    double volume = 1.0;
    bool operator==(const SoundPlay&) const = default;
};

class SimSound final : public platform::Sound {
public:
    std::unique_ptr<platform::SoundClip> load(const std::string& name) override
    {
        if (m_missing.contains(name))
            return nullptr;
        return std::make_unique<Clip>(name, m_played);
    }

    /// The theme has no sound called name.
    void remove(const std::string& name) { m_missing.insert(name); }
    /// Every play, in order.
    const std::vector<SoundPlay>& played() const { return *m_played; }

private:
    using Plays = std::shared_ptr<std::vector<SoundPlay>>;

    class Clip final : public platform::SoundClip {
    public:
        Clip(std::string name, Plays plays) : m_name(std::move(name)), m_plays(std::move(plays)) {}
        void setVolume(double volume) override { m_volume = volume; }
        void stop() override {}
        void play() override { m_plays->push_back({m_name, m_volume}); }

    private:
        std::string m_name;
        Plays m_plays;
        double m_volume = 1.0;
    };

    std::set<std::string> m_missing;
    Plays m_played = std::make_shared<std::vector<SoundPlay>>();
};

}  // namespace kx::sim
