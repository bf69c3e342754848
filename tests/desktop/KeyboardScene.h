#pragma once
// What the keyboard tests do on the shared desktop: set its layouts, type and click as another X
// client would (XTEST on a connection of its own, so the keys are not the program's), and read the
// text of a focused text field.

#include "TempFolder.h"

#include <filesystem>
#include <optional>
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
inline constexpr unsigned return_ = 36;
inline constexpr unsigned space = 65;
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
    /// Presses (down) or lets go of one key, and waits until the server has it.
    void setKey(unsigned keycode, bool down);
    /// Taps, one after another, the keys that type these lower-case letters and spaces on the us
    /// layout, whichever layout is selected.
    void typeKeys(std::string_view keys);
    /// Moves the pointer to (x, y) and clicks button there.
    void click(unsigned button, int x, int y);
    /// Locks the keyboard group, as a desktop's layout switcher does.
    void lockGroup(unsigned group);

    /// How a quick typist types: a key every pace seconds, each held 1.4 paces so that the next
    /// goes down before it comes up (a key pressed twice in a row is let go in between), Shift
    /// down just before a capital and up while the capital is still down.
    struct Typing {
        double pace = 0.06;
        /// The group locked before every word (a user who selects the wrong layout each time).
        std::optional<unsigned> groupBeforeEachWord;
    };
    /// Types text with the keys that type it on layout (an XKB name), whichever layout is
    /// selected; returns when the last key is up. False, typing nothing, when layout has no key
    /// for a character without AltGr.
    bool typeOverlapping(std::string_view text, const std::string& layout, const Typing& typing);

private:
    _XDisplay* m_display = nullptr;
};

/// A GTK 3 entry for the system's Python with GObject introspection (python3 -c); it prints "ready"
/// once its window is active and the entry has the keyboard focus. Arguments: title, a file to leave the text in after
/// every change or "-", and optionally the text to start with and the caret's offset.
extern const char* const gtkEntryScript;

/// The desktop probe's window in front, its text field focused; it leaves its text in a file.
class TextField {
public:
    enum class Toolkit { qt, gtk };
    /// A Qt line edit or a GTK 3 entry (the system's Python with GObject introspection), both
    /// speaking AT-SPI, titled title (the Qt one's WM_CLASS class too); not ok() when it cannot start.
    TextField(Toolkit toolkit, const std::string& title);
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
