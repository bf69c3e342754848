#pragma once
// The single-instance lock as an abstract Unix socket: binding the name claims it, and the kernel
// frees it when the holder exits, crashed or not, so a dead instance never blocks the next one.

#include "platform/InstanceLock.h"

#include <map>
#include <string>

namespace kx::platform {

class SocketInstanceLock final : public InstanceLock {
public:
    SocketInstanceLock() = default;
    ~SocketInstanceLock() override;
    SocketInstanceLock(const SocketInstanceLock&) = delete;
    SocketInstanceLock& operator=(const SocketInstanceLock&) = delete;

    /// The name is made per user ("<name>.<uid>"), since abstract sockets are shared by all users.
    /// failed when no socket can be made or the name is too long for a socket address.
    LockResult tryAcquire(const std::string& name) override;

    /// The abstract address used for name, without its leading NUL.
    static std::string addressFor(const std::string& name);

private:
    std::map<std::string, int> m_held;  // name -> bound socket
};

}  // namespace kx::platform
