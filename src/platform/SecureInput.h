#pragma once
// Secure keyboard input: while some process has it on (a password field, or a grab that was never
// let go), the tap sees no usable keys. The holder's name comes from the running applications.

#include <cstdint>
#include <functional>
#include <optional>

namespace kx::platform {

class SecureInput {
public:
    virtual ~SecureInput() = default;

    /// What the keys typed now go to, as far as is known without waiting.
    enum class Field {
        open,     // no password field, no other client holding the keyboard
        secure,   // a password field, or another client holds the keyboard
        unknown,  // the focus moved and its look-up has not come back yet
    };

    /// At a key: answered at once from what is known. unknown until the look-up of a focus that
    /// moved has come back; onFocusAnswered tells when it has. By default from isEnabled().
    virtual Field fieldAtKey() { return isEnabled() ? Field::secure : Field::open; }
    /// Called on the main thread with unknown at each move of the focus that leaves the field unknown, and
    /// when its look-up has come back with what fieldAtKey() now gives. One handler; a desktop
    /// whose answers never wait never calls it.
    virtual void onFocusAnswered(std::function<void(Field)>) {}

    /// Whether secure input is on now, as last found; never waits. False when it cannot be told.
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
