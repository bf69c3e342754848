#pragma once
// The two permissions the corrector needs: Input Monitoring (to see keys) and Accessibility (to
// read and rewrite text and switch the layout). On X11 they are whether the needed server
// extensions and the accessibility bus can be used. Where the user grants them is a page the
// workspace opens.

#include <string>
#include <vector>

namespace kx::platform {

enum class Permission { accessibility, inputMonitoring };

class Permissions {
public:
    virtual ~Permissions() = default;

    /// Whether permission is granted now, asked without prompting. False when it cannot be told.
    virtual bool isGranted(Permission permission) = 0;
    /// Asks the desktop for permission, with its own prompt where it has one; returns the answer
    /// known right after asking (false when it cannot be told).
    virtual bool request(Permission permission) = 0;
    /// What the desktop lacks for permission, by the names a user can look up (on X11, the
    /// server's missing extensions for Input Monitoring); empty when granted or when it cannot
    /// be told.
    virtual std::vector<std::string> missingParts(Permission permission) = 0;
};

}  // namespace kx::platform
