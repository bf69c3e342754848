#pragma once
// What the keyboard tests do on the shared desktop: set its layouts, type and click as another X
// client would (XTEST on a connection of its own, so the keys are not the program's), and read the
// text of a focused text field.

#include <filesystem>
#include <string>
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
    /// Presses the modifiers, taps the key, lets the modifiers go.
    void tap(unsigned keycode, const std::vector<unsigned>& modifiers = {});
    /// Moves the pointer to (x, y) and clicks button there.
    void click(unsigned button, int x, int y);
    /// Locks the keyboard group, as a desktop's layout switcher does.
    void lockGroup(unsigned group);

private:
    _XDisplay* m_display = nullptr;
};

/// The small text field of the desktop tests, focused; it leaves its text in a file.
class TextField {
public:
    TextField();
    TextField(const TextField&) = delete;
    TextField& operator=(const TextField&) = delete;
    ~TextField();

    bool ok() const { return m_pid > 0; }
    std::string text() const;
    /// Runs the event loop until the field holds expected, at most 3 s; whether it did.
    bool waitForText(const std::string& expected) const;

private:
    std::filesystem::path m_file;
    pid_t m_pid = -1;
};

}  // namespace kx::test
