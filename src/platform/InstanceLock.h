#pragma once
// The single-instance lock: a name that one process at a time may hold.

#include <string>

namespace kx::platform {

enum class LockResult {
    acquired,       // this process holds the name now
    heldElsewhere,  // another running process holds it
    failed,         // the name could not be tested or claimed; the caller goes on unlocked
};

class InstanceLock {
public:
    virtual ~InstanceLock() = default;

    /// Claims name, held until this object is destroyed (for the application: the process's life).
    virtual LockResult tryAcquire(const std::string& name) = 0;
    /// Who holds the name, after tryAcquire() found it held elsewhere: what is known of the
    /// holder, such as "pid 4242, user dana, host lab1"; empty when nothing can be told.
    virtual std::string holder() const = 0;
};

}  // namespace kx::platform
