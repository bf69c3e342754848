#pragma once
// The login item of the simulated desktop: its state, the calls made, and a refusal to give.

#include "platform/LoginItem.h"

#include <string>
#include <vector>

namespace kx::sim {

class SimLoginItem final : public platform::LoginItem {
public:
    Status status() const override { return state; }
    std::optional<Error> register_() override { return change("register", Status::enabled); }
    std::optional<Error> unregister() override { return change("unregister", Status::notRegistered); }

    /// "register" and "unregister", in the order they were called.
    const std::vector<std::string>& calls() const { return m_calls; }

    Status state = Status::notRegistered;
    /// While set, both calls fail with it and change nothing.
    std::optional<Error> refusal;

private:
    std::optional<Error> change(const char* call, Status to)
    {
        m_calls.emplace_back(call);
        if (refusal)
            return refusal;
        state = to;
        return std::nullopt;
    }

    std::vector<std::string> m_calls;
};

}  // namespace kx::sim
