#pragma once
// Starting Kestrelix when the user logs in.

#include "platform/Result.h"

#include <optional>

namespace kx::platform {

class LoginItem {
public:
    /// States that are neither registered nor unregistered (e.g. the entry exists but the
    /// desktop hides it) are `other`.
    enum class Status { notRegistered, enabled, other };

    virtual ~LoginItem() = default;

    virtual Status status() const = 0;
    /// Makes the program start at login. None on success, else the system's reason.
    virtual std::optional<Error> register_() = 0;
    /// Stops the program starting at login. None on success, else the system's reason.
    virtual std::optional<Error> unregister() = 0;
};

}  // namespace kx::platform
