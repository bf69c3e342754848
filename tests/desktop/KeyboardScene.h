#pragma once
// What the keyboard tests do on the shared desktop: set its layouts, type and click as another X
// client would (XTEST on a connection of its own, so the keys are not the program's), and read the
// text of a focused text field.

#include "TempFolder.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

struct _XDisplay;

namespace kx::test {

/// Evdev keycodes the tests press.
namespace Keycode {
inline constexpr unsigned a = 38;
inline constexpr unsigned b = 56;
inline constexpr unsigned c = 54;
inline constexpr unsigned k = 45;
inline constexpr unsigned x = 53;
inline constexpr unsigned z = 52;
inline constexpr unsigned shift = 50;
inline constexpr unsigned control = 37;
inline constexpr unsigned alt = 64;
}  // namespace Keycode

/// setxkbmap -layout with these layouts, then the first one selected; false when it failed.
bool setLayouts(const std::vector<std::string>& layouts);

class OtherClient {
public:
    OtherClient();
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;
    ~OtherClient();

    bool ok() const { return m_display != nullptr; }
    /// Presses (down) or lets go of one key.
    void key(unsigned keycode, bool down);
    /// Presses the modifiers, taps the key, lets the modifiers go.
    void tap(unsigned keycode, const std::vector<unsigned>& modifiers = {});
    /// Taps, one after another, the keys that type these lower-case letters and spaces on the us
    /// layout, whichever layout is selected.
    void typeKeys(std::string_view keys);
    /// Moves the pointer to (x, y) and clicks button there.
    void click(unsigned button, int x, int y);
    /// Locks the keyboard group, as a desktop's layout switcher does.
    void lockGroup(unsigned group);

private:
    _XDisplay* m_display = nullptr;
};

/// The desktop probe's window in front, its text field focused; it leaves its text in a file.
class TextField {
public:
    /// The window's WM_CLASS class is wmClass; options go to the probe as given ("--copy", ...),
    /// extraEnvironment as DesktopSession::start takes it.
    explicit TextField(const std::string& wmClass = "KxField", const std::vector<std::string>& options = {},
                       const std::vector<std::string>& extraEnvironment = {});
    TextField(const TextField&) = delete;
    TextField& operator=(const TextField&) = delete;
    ~TextField();

    bool ok() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    std::string text() const;
    /// Runs the event loop until the field holds expected, at most 3 s; whether it did.
    bool waitForText(const std::string& expected) const;

private:
    TempFolder m_folder{"kx-field"};
    std::filesystem::path m_file = m_folder / "text";
    pid_t m_pid = -1;
};

}  // namespace kx::test
