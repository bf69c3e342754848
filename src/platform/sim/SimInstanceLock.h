#pragma once
// The single-instance lock of the simulated desktop: names held in memory, shared by every lock
// the desktop hands out, so two "processes" of one desktop exclude each other.

#include "platform/InstanceLock.h"

#include <memory>
#include <set>
#include <string>

namespace kx::sim {

class SimInstanceLock final : public platform::InstanceLock {
public:
    using Names = std::shared_ptr<std::set<std::string>>;

    explicit SimInstanceLock(Names held) : m_held(std::move(held)) {}
    ~SimInstanceLock() override
    {
        for (const auto& name : m_mine)
            m_held->erase(name);
    }
    SimInstanceLock(const SimInstanceLock&) = delete;
    SimInstanceLock& operator=(const SimInstanceLock&) = delete;

    platform::LockResult tryAcquire(const std::string& name) override
    {
        if (m_mine.contains(name))
            return platform::LockResult::acquired;
        if (!m_held->insert(name).second)
            return platform::LockResult::heldElsewhere;
        m_mine.insert(name);
        return platform::LockResult::acquired;
    }

private:
    Names m_held;
    std::set<std::string> m_mine;
};

}  // namespace kx::sim
