#pragma once
// Posts the program's events into the simulated desktop: through the tap, then to the focused
// field, at once (the receiving application is another process that does not wait for us).

#include "platform/EventPoster.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kx::sim {

class SimEventPoster final : public platform::EventPoster {
public:
    /// deliver takes each event into the desktop.
    explicit SimEventPoster(std::function<void(const platform::SyntheticKey&)> deliver) : m_deliver(std::move(deliver))
    {}

    /// Recorded, then delivered; false while refusesPosting is set (nothing is recorded then).
    bool post(const platform::SyntheticKey& event) override
    {
        if (refusesPosting)
            return false;
        m_posted.push_back(event);
        m_deliver(event);
        return true;
    }

    /// Recorded as one batch, then each event as post() does.
    bool postBatch(const std::vector<platform::SyntheticKey>& events) override
    {
        m_batches.push_back(events.size());
        return EventPoster::postBatch(events);
    }

    bool acknowledges() const override { return acknowledging; }

    /// What focus says; none when it is not set.
    std::optional<platform::FocusWindow> focusWindow() override { return focus ? focus() : std::nullopt; }

    /// False when text holds a character of untypeable.
    bool canType(const std::string& text) override
    {
        return std::none_of(untypeable.begin(), untypeable.end(),
                            [&](const std::string& c) { return text.find(c) != std::string::npos; });
    }

    /// Every event posted, in order.
    const std::vector<platform::SyntheticKey>& posted() const { return m_posted; }
    /// The size of every batch posted, in order.
    const std::vector<std::size_t>& batches() const { return m_batches; }
    void clearPosted()
    {
        m_posted.clear();
        m_batches.clear();
    }

    bool refusesPosting = false;
    /// Acts as a desktop that has taken each event once it is posted (X11 does).
    bool acknowledging = false;
    /// The window with the keyboard focus, as the test tells it.
    std::function<std::optional<platform::FocusWindow>()> focus;
    /// Characters this desktop's keyboard cannot type (none of its keys, no spare keycode).
    std::vector<std::string> untypeable;

private:
    std::function<void(const platform::SyntheticKey&)> m_deliver;
    std::vector<platform::SyntheticKey> m_posted;
    std::vector<std::size_t> m_batches;
};

}  // namespace kx::sim
