#pragma once
// The single-instance lock as an abstract Unix socket per user and X display: binding the name claims it, and the kernel
// frees it when the holder exits, crashed or not, so a dead instance never blocks the next one.

#include "platform/InstanceLock.h"

#include <map>
#include <string>

namespace kx::platform {

class SocketInstanceLock final : public InstanceLock {
public:
    /// The lock of the X display this process runs on ($DISPLAY; none when unset).
    SocketInstanceLock();
    /// The lock of display, an X display name such as ":0" or "host:1.0".
    explicit SocketInstanceLock(std::string display);
    ~SocketInstanceLock() override;
    SocketInstanceLock(const SocketInstanceLock&) = delete;
    SocketInstanceLock& operator=(const SocketInstanceLock&) = delete;

    /// The name is made per user and X display ("<name>.<uid>.<display>"), since abstract sockets
    /// are shared by all users and sessions: a second X session of the same user runs its own
    /// instance. failed when no socket can be made or the name is too long for a socket address.
    LockResult tryAcquire(const std::string& name) override;

    /// The abstract address used for name, without its leading NUL.
    std::string addressFor(const std::string& name) const;
    /// The part of a display name that tells X servers apart: the host and the display number,
    /// without the screen (":0.1" is ":0"); "unix:0" is the local ":0".
    static std::string serverOf(const std::string& display);

private:
    std::string m_server;
    std::map<std::string, int> m_held;  // name -> bound socket
};

}  // namespace kx::platform
