#include "KeyboardScene.h"

#include "DesktopSession.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kx::test {

bool setLayouts(const std::vector<std::string>& layouts)
{
    std::string joined;
    for (const auto& layout : layouts)
        joined += (joined.empty() ? "" : ",") + layout;
    if (std::system(("setxkbmap -layout " + joined).c_str()) != 0)
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

void OtherClient::lockGroup(unsigned group)
{
    XkbLockGroup(m_display, XkbUseCoreKbd, group);
    XSync(m_display, False);
}

TextField::TextField(const std::string& wmClass, const std::vector<std::string>& options,
                     const std::vector<std::string>& extraEnvironment)
{
    std::vector<std::string> argv = {KX_DESKTOP_PROBE, "--class", wmClass, "--report", m_file.string()};
    argv.insert(argv.end(), options.begin(), options.end());
    m_pid = DesktopSession::shared().start(argv, extraEnvironment, true);
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
