#pragma once
// The desktop's keyboard layouts as the user enabled them: the list, the one selected now, selecting
// another, and a notice when the selection changes. On X11 these are the groups of the server's
// keymap; a source's handle is its group index.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kx::platform {

/// One enabled keyboard layout.
struct InputSource {
    std::string layout;   // XKB layout name ("us", "il"); empty when the desktop names none
    std::string variant;  // XKB variant ("dvorak"); empty for the layout's default
    int handle = -1;      // what select() needs (the XKB group index on X11)

    bool operator==(const InputSource&) const = default;
};

class InputSources {
public:
    /// A change-notice subscription; destroying it unsubscribes.
    class Subscription {
    public:
        virtual ~Subscription() = default;
    };

    virtual ~InputSources() = default;

    /// The enabled layouts in the desktop's order; empty when they cannot be read.
    virtual std::vector<InputSource> enabled() const = 0;
    /// The layout selected now; none when it cannot be read.
    virtual std::optional<InputSource> current() const = 0;
    /// Asks the desktop to make source the selected layout. A request that fails is dropped;
    /// callers that care read current() afterwards. Main thread.
    virtual void select(const InputSource& source) = 0;
    /// Calls onChange on the main thread each time the selected layout changes, whether select()
    /// or the user changed it; other keyboard state (modifiers) never calls it.
    virtual std::unique_ptr<Subscription> subscribe(std::function<void()> onChange) = 0;
};

}  // namespace kx::platform
