#pragma once
// A message the controller puts in front of the user and waits on without blocking: a title, a
// longer text and a row of buttons. The Qt side shows it; the answer comes back on the main thread.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kx {

struct Alert {
    std::string message;
    std::string informativeText;
    /// Left to right as read; the first is the default button, the last the one Escape chooses.
    std::vector<std::string> buttons;

    bool operator==(const Alert&) const = default;
};

class AlertView {
public:
    virtual ~AlertView() = default;

    /// Brings the application forward and shows alert, modal to the application. then gets the
    /// index of the button chosen, or none when the alert was dismissed without one.
    virtual void show(const Alert& alert, std::function<void(std::optional<std::size_t>)> then) = 0;
};

}  // namespace kx
