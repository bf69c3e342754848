#pragma once
// The single-instance lock of the simulated desktop: names held in memory, shared by every lock
// the desktop hands out, so two "processes" of one desktop exclude each other.

#include "platform/InstanceLock.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace kx::sim {

class SimInstanceLock final : public platform::InstanceLock {
public:
    using Names = std::shared_ptr<std::map<std::string, std::string>>;  // name -> its holder

    /// process: how this lock's holder is named to the ones it keeps out.
    SimInstanceLock(Names held, std::string process) : m_held(std::move(held)), m_process(std::move(process)) {}
    ~SimInstanceLock() override
    {
        for (const auto& name : m_mine)
            m_held->erase(name);
    }
    SimInstanceLock(const SimInstanceLock&) = delete;
    SimInstanceLock& operator=(const SimInstanceLock&) = delete;

    platform::LockResult tryAcquire(const std::string& name) override
    {
        m_holder.clear();
        if (m_mine.contains(name))
            return platform::LockResult::acquired;
        if (const auto [held, claimed] = m_held->emplace(name, m_process); !claimed) {
            m_holder = held->second;
            return platform::LockResult::heldElsewhere;
        }
        m_mine.insert(name);
        return platform::LockResult::acquired;
    }
    std::string holder() const override { return m_holder; }

private:
    Names m_held;
    std::string m_process;
    std::string m_holder;
    std::set<std::string> m_mine;
};

}  // namespace kx::sim
