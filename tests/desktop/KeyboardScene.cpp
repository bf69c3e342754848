#include "KeyboardScene.h"

#include "DesktopSession.h"
#include "engine/TranslationEngine.h"
#include "platform/KeyStroke.h"
#include "platform/KeyTable.h"
#include "platform/Text.h"
#include "platform/x11/KeyMapping.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace kx::test {

bool setLayouts(const std::vector<std::string>& layouts)
{
    // A variant named in brackets ("il(lyx)") goes to -variant, where desktops put it.
    std::string names;
    std::string variants;
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        const std::string& layout = layouts[i];
        const auto open = layout.find('(');
        names += (i > 0 ? "," : "") + layout.substr(0, open);
        variants +=
            (i > 0 ? "," : "") + (open == std::string::npos ? "" : layout.substr(open + 1, layout.size() - open - 2));
    }
    if (std::system(("setxkbmap -layout '" + names + "' -variant '" + variants + "'").c_str()) != 0)
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XkbLockGroup(display, XkbUseCoreKbd, 0);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}

OtherClient::OtherClient() : m_display(XOpenDisplay(nullptr)) {}

OtherClient::~OtherClient()
{
    if (m_display)
        XCloseDisplay(m_display);
}

void OtherClient::key(unsigned keycode, bool down)
{
    XTestFakeKeyEvent(m_display, keycode, down ? True : False, CurrentTime);
    XSync(m_display, False);
}

void OtherClient::tap(unsigned keycode, const std::vector<unsigned>& modifiers)
{
    for (const unsigned modifier : modifiers)
        XTestFakeKeyEvent(m_display, modifier, True, CurrentTime);
    XTestFakeKeyEvent(m_display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(m_display, keycode, False, CurrentTime);
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier)
        XTestFakeKeyEvent(m_display, *modifier, False, CurrentTime);
    XSync(m_display, False);
}

void OtherClient::typeKeys(std::string_view keys)
{
    for (const char key : keys) {
        const char name[] = {key, '\0'};
        const KeySym symbol = key == ' ' ? XK_space : XStringToKeysym(name);
        tap(XKeysymToKeycode(m_display, symbol));
    }
}

void OtherClient::click(unsigned button, int x, int y)
{
    XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(m_display, button, True, CurrentTime);
    XTestFakeButtonEvent(m_display, button, False, CurrentTime);
    XSync(m_display, False);
}

void OtherClient::setKey(unsigned keycode, bool down)
{
    XTestFakeKeyEvent(m_display, keycode, down ? True : False, CurrentTime);
    XSync(m_display, False);
}

void OtherClient::lockGroup(unsigned group)
{
    XkbLockGroup(m_display, XkbUseCoreKbd, group);
    XSync(m_display, False);
}

bool OtherClient::typeOverlapping(std::string_view text, const std::string& layout, const Typing& typing)
{
    struct Event {
        double at = 0;
        unsigned keycode = 0;  // 0: lock the group before a word
        bool down = false;
    };
    const auto keys = TranslationEngine::inverseMap(platform::KeyTable::forLayout(layout));
    const unsigned shift = XKeysymToKeycode(m_display, XK_Shift_L);
    const double hold = typing.pace * 1.4;
    const double shiftLead = 0.012;
    std::vector<Event> events;
    std::vector<unsigned> keycodes;
    std::vector<bool> shifted;
    for (const auto& character : text::characters(text)) {
        const auto found = keys.find(character);
        if (found == keys.end() || (found->second.flags & ~EventFlags::shift) != 0)
            return false;
        const auto keycode = platform::x11::keycodeFromVirtualKey(found->second.code);
        if (!keycode)
            return false;
        keycodes.push_back(*keycode);
        shifted.push_back((found->second.flags & EventFlags::shift) != 0);
    }
    bool wordStart = true;
    for (std::size_t i = 0; i < keycodes.size(); ++i) {
        const double at = static_cast<double>(i) * typing.pace + shiftLead;
        const bool space = keycodes[i] == *platform::x11::keycodeFromVirtualKey(kx::KeyCode::space);
        if (wordStart && !space && typing.groupBeforeEachWord)
            events.push_back({at - typing.pace / 2, 0, false});
        wordStart = space;
        const bool repeatNext = i + 1 < keycodes.size() && keycodes[i + 1] == keycodes[i];
        if (shifted[i]) {
            events.push_back({at - shiftLead, shift, true});
            events.push_back({at + typing.pace / 2, shift, false});
        }
        events.push_back({at, keycodes[i], true});
        events.push_back({at + (repeatNext ? typing.pace * 0.6 : hold), keycodes[i], false});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.at < b.at; });
    const auto start = std::chrono::steady_clock::now();
    for (const auto& event : events) {
        std::this_thread::sleep_until(start + std::chrono::duration<double>(event.at));
        if (event.keycode == 0)
            XkbLockGroup(m_display, XkbUseCoreKbd, *typing.groupBeforeEachWord);
        else
            XTestFakeKeyEvent(m_display, event.keycode, event.down ? True : False, CurrentTime);
        XFlush(m_display);
    }
    XSync(m_display, False);
    return true;
}

TextField::TextField(const std::string& wmClass, const std::vector<std::string>& options,
                     const std::vector<std::string>& extraEnvironment)
{
    std::vector<std::string> argv = {KX_DESKTOP_PROBE, "--class", wmClass, "--report", m_file.string()};
    argv.insert(argv.end(), options.begin(), options.end());
    m_pid = DesktopSession::shared().start(argv, extraEnvironment, true);
}

// Arguments: the window's title, the file for the text or "-" for none, and optionally the text to
// start with and the caret's offset in it.
const char* const gtkEntryScript = R"(
import os, sys, gi
gi.require_version('Gtk', '3.0')
from gi.repository import Gtk, GLib
Gtk.Settings.get_default().set_property('gtk-entry-select-on-focus', False)
window = Gtk.Window(title=sys.argv[1])
entry = Gtk.Entry()
window.add(entry)
if len(sys.argv) > 4:
    entry.set_text(sys.argv[3])
def save(*_):
    if sys.argv[2] == '-':
        return
    with open(sys.argv[2] + '.new', 'w', encoding='utf-8') as out:
        out.write(entry.get_text())
    os.replace(sys.argv[2] + '.new', sys.argv[2])
entry.connect('changed', save)
save()
window.show_all()
entry.grab_focus()
if len(sys.argv) > 4:
    entry.set_position(int(sys.argv[4]))
def ready():
    if not (window.is_active() and entry.has_focus()):
        return True
    print('ready', flush=True)
    return False
GLib.timeout_add(50, ready)
Gtk.main()
)";

TextField::TextField(Toolkit toolkit, const std::string& title)
{
    if (toolkit == Toolkit::qt)
        m_pid = DesktopSession::shared().start({KX_DESKTOP_PROBE, "--class", title, "--report", m_file.string()},
                                               {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"}, true);
    else
        m_pid = DesktopSession::shared().start({"/usr/bin/python3", "-c", gtkEntryScript, title, m_file.string()}, {},
                                               true);
}

TextField::~TextField()
{
    if (m_pid > 0)
        DesktopSession::shared().stop(m_pid);
}

std::string TextField::text() const
{
    std::ifstream in(m_file);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TextField::waitForText(const std::string& expected) const
{
    return DesktopSession::waitFor([&] { return text() == expected; }, 3.0);
}

}  // namespace kx::test
