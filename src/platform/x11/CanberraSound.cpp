#include "platform/x11/CanberraSound.h"

#include "platform/Log.h"
#include "platform/SerialQueue.h"

#include <canberra.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>

namespace kx::platform::x11 {

namespace {

// libcanberra takes decibels; below this the sound is inaudible anyway, and 0 would be -inf dB.
constexpr double quietest = 0.001;

std::string decibels(double volume)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", 20.0 * std::log10(std::clamp(volume, quietest, 1.0)));
    return text;
}

}  // namespace

// The library's context and what was reported; touched only on the queue's thread.
struct CanberraSound::Player {
    std::unique_ptr<SerialQueue> queue = SerialQueue::threaded("app.kestrelix.sound");
    std::atomic<std::uint32_t> nextID = 1;
    ca_context* context = nullptr;
    bool contextFailed = false;
    bool systemReported = false;
    std::mutex mutex;  // guards missingReported, which load() uses on any thread
    std::set<std::string> missingReported;

    ~Player()
    {
        // What is queued runs first; the context goes after the thread.
        queue.reset();
        if (context)
            ca_context_destroy(context);
    }

    ca_context* ensureContext()
    {
        if (context || contextFailed)
            return context;
        if (const int error = ca_context_create(&context); error != CA_SUCCESS) {
            contextFailed = true;
            context = nullptr;
            Log::line(std::string("sound: no sound system: ") + ca_strerror(error));
            return nullptr;
        }
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Kestrelix", CA_PROP_APPLICATION_ID, "app.kestrelix",
                                nullptr);
        // Without a card ALSA can play nothing, yet writes eight lines to standard error at every
        // sound; a sound server may still play elsewhere.
        if (!hasSoundCard())
            ca_context_set_driver(context, "pulse");
        return context;
    }

    void play(std::uint32_t id, const std::string& name, double volume)
    {
        ca_context* c = ensureContext();
        if (!c)
            return;
        // A clip played again starts over.
        ca_context_cancel(c, id);
        const int error = ca_context_play(c, id, CA_PROP_EVENT_ID, name.c_str(), CA_PROP_CANBERRA_VOLUME,
                                          decibels(volume).c_str(), nullptr);
        // The theme's file exists (load() made sure), so any failure is the sound system's; ALSA
        // without a device answers "not found" too.
        if (error != CA_SUCCESS && !std::exchange(systemReported, true))
            Log::line("sound " + name + " cannot play (no sound server or device?): " + ca_strerror(error));
    }

    void cancel(std::uint32_t id)
    {
        if (context)
            ca_context_cancel(context, id);
    }
};

namespace {

class CanberraClip final : public SoundClip {
public:
    CanberraClip(std::shared_ptr<CanberraSound::Player> player, std::string name)
        : m_player(std::move(player)), m_id(m_player->nextID++), m_name(std::move(name))
    {}

    void setVolume(double volume) override { m_volume = volume; }

    void stop() override
    {
        // Blocks hold the player by plain pointer: it drains its queue before it goes, and a block
        // must never be the last owner (the thread would wait for itself).
        m_player->queue->async([player = m_player.get(), id = m_id] { player->cancel(id); });
    }

    void play() override
    {
        m_player->queue->async([player = m_player.get(), id = m_id, name = m_name, volume = m_volume.load()] {
            player->play(id, name, volume);
        });
    }

private:
    std::shared_ptr<CanberraSound::Player> m_player;
    std::uint32_t m_id;
    std::string m_name;
    std::atomic<double> m_volume = 1.0;
};

}  // namespace

CanberraSound::CanberraSound(std::filesystem::path folder)
    : m_folder(std::move(folder)), m_player(std::make_shared<Player>())
{}

CanberraSound::~CanberraSound() = default;

std::filesystem::path CanberraSound::fileFor(const std::string& name) const
{
    // A name is a file name, never a path: "../x" must not reach outside the theme.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return {};
    for (const auto extension : extensions) {
        const auto file = m_folder / (name + std::string(extension));
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error))
            return file;
    }
    return {};
}

std::unique_ptr<SoundClip> CanberraSound::load(const std::string& name)
{
    if (fileFor(name).empty()) {
        std::lock_guard lock(m_player->mutex);
        if (m_player->missingReported.insert(name).second)
            Log::line("sound " + name + ": not in the sound theme");
        return nullptr;
    }
    return std::make_unique<CanberraClip>(m_player, name);
}

bool CanberraSound::hasSoundCard(const std::filesystem::path& cards)
{
    std::ifstream in(cards);
    std::string line;
    bool any = false;
    while (std::getline(in, line))
        any = any || (!line.empty() && line.find("no soundcards") == std::string::npos);
    return any;
}

void CanberraSound::waitUntilIdle()
{
    m_player->queue->waitUntilIdle();
}

}  // namespace kx::platform::x11
