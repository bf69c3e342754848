#pragma once
// Secure keyboard input: while some process has it on (a password field, or a grab that was never
// let go), the tap sees no usable keys. The holder's name comes from the running applications.

#include <cstdint>
#include <optional>

namespace kx::platform {

class SecureInput {
public:
    virtual ~SecureInput() = default;

    /// Whether secure input is on now. False when it cannot be told. Cheap: asked at every key.
    virtual bool isEnabled() = 0;
    /// Whether secure input is on, for the periodic status check: a desktop that tells of its
    /// changes may answer from what it was told since the last question, and look again only when
    /// something changed or something is on. By default the same as isEnabled().
    virtual bool isEnabledPolled() { return isEnabled(); }
    /// The process id of the holder; none when secure input is off or the holder cannot be found.
    virtual std::optional<std::int32_t> holderPid() = 0;
    /// Whether the process exists: true also when it exists but may not be probed (another user's).
    virtual bool isProcessAlive(std::int32_t pid) = 0;
};

}  // namespace kx::platform
