#pragma once
// A small signal for the layers that know no Qt: the UI bridges it to its own signals. Main thread
// only. subscribe() returns an owned handle; dropping it unsubscribes, and it may outlive the signal.

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kx {

/// An active subscription; destroying it ends the subscription.
class Subscription {
public:
    virtual ~Subscription() = default;
};

template <typename... Args>
class Signal {
public:
    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    /// Calls callback at every notify() until the handle is dropped.
    [[nodiscard]] std::unique_ptr<Subscription> subscribe(std::function<void(Args...)> callback)
    {
        auto slot = std::make_shared<Slot>(std::move(callback));
        m_slots->push_back(slot);
        return std::make_unique<Handle>(m_slots, std::move(slot));
    }

    /// Calls the subscribers in the order they subscribed.
    void notify(const Args&... args) const
    {
        // A callback may subscribe or unsubscribe; walk a copy and skip the ones dropped meanwhile.
        const Slots slots = *m_slots;
        for (const auto& slot : slots)
            if (slot->active)
                slot->callback(args...);
    }

private:
    struct Slot {
        explicit Slot(std::function<void(Args...)> c) : callback(std::move(c)) {}
        std::function<void(Args...)> callback;
        bool active = true;
    };
    using Slots = std::vector<std::shared_ptr<Slot>>;

    class Handle final : public Subscription {
    public:
        Handle(std::weak_ptr<Slots> slots, std::shared_ptr<Slot> slot)
            : m_slots(std::move(slots)), m_slot(std::move(slot))
        {}
        ~Handle() override
        {
            m_slot->active = false;
            if (const auto slots = m_slots.lock())
                std::erase(*slots, m_slot);
        }

    private:
        std::weak_ptr<Slots> m_slots;
        std::shared_ptr<Slot> m_slot;
    };

    std::shared_ptr<Slots> m_slots = std::make_shared<Slots>();
};

}  // namespace kx
