#pragma once
// The two permissions of the simulated desktop as switches; requests are recorded and change nothing.

#include "platform/Permissions.h"

#include <string>
#include <vector>

namespace kx::sim {

class SimPermissions final : public platform::Permissions {
public:
    bool isGranted(platform::Permission permission) override
    {
        return permission == platform::Permission::accessibility ? accessibility : inputMonitoring;
    }
    bool request(platform::Permission permission) override
    {
        m_requests.push_back(permission);
        return isGranted(permission);
    }

    std::vector<std::string> missingParts(platform::Permission permission) override
    {
        if (permission == platform::Permission::inputMonitoring && !inputMonitoring)
            return missingExtensions;
        return {};
    }

    /// Every request, in order.
    const std::vector<platform::Permission>& requests() const { return m_requests; }

    bool accessibility = true;
    bool inputMonitoring = true;
    /// What missingParts names while Input Monitoring is off.
    std::vector<std::string> missingExtensions = {"RECORD"};

private:
    std::vector<platform::Permission> m_requests;
};

}  // namespace kx::sim
