#include "platform/x11/X11InstanceLock.h"

#include "platform/Log.h"
#include "platform/x11/XClientPid.h"
#include "platform/x11/XErrors.h"
#include "platform/x11/XProperty.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kx::platform::x11 {

namespace {

std::string hostName()
{
    std::array<char, 256> host{};
    if (::gethostname(host.data(), host.size() - 1) != 0)
        return {};
    return host.data();
}

std::string userName(uid_t uid)
{
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
    return std::to_string(uid);
}

// The owner of a process of this machine; empty when it cannot be seen.
std::string userOf(int pid)
{
    struct stat info {};
    if (pid <= 0 || ::stat(("/proc/" + std::to_string(pid)).c_str(), &info) != 0)
        return {};
    return userName(info.st_uid);
}

std::string describe(int pid, const std::string& user, const std::string& host, unsigned long window)
{
    std::vector<std::string> parts;
    if (pid > 0)
        parts.push_back("pid " + std::to_string(pid));
    if (!user.empty())
        parts.push_back("user " + user);
    if (!host.empty())
        parts.push_back("host " + host);
    if (window != 0) {
        char id[32];
        std::snprintf(id, sizeof id, "window 0x%lx", window);
        parts.push_back(id);
    }
    std::string text;
    for (const auto& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

// A window that only holds the selection, never shown, that says who holds it: the server's pid
// (XRes) only reaches clients of this machine. It reports its property changes, whose time the
// claim is made at. None when the server refuses it (logged).
Window ownerWindow(Display* display)
{
    XErrorTrap trap(display);
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    const Window window = XCreateWindow(display, RootWindow(display, 0), -1, -1, 1, 1, 0, CopyFromParent, InputOnly,
                                        CopyFromParent, CWEventMask, &attributes);
    const std::string host = hostName();
    const long pid = ::getpid();
    XStoreName(display, window, "Kestrelix");
    XChangeProperty(display, window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(host.data()), static_cast<int>(host.size()));
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    if (const int error = trap.takeError()) {
        Log::line("instance lock: the X server refused the owner window (error " + std::to_string(error) + ")");
        return None;
    }
    return window;
}

}  // namespace

X11InstanceLock::X11InstanceLock(const char* display, std::filesystem::path runtimeFolder)
    : m_displayName(display ? display : (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "")),
      m_file(std::move(runtimeFolder))
{}

std::string X11InstanceLock::serverOf(const std::string& display)
{
    const auto colon = display.rfind(':');
    if (colon == std::string::npos)
        return display;
    std::string host = display.substr(0, colon);
    // "unix/:0", "tcp/lab1:0": the transport is no part of which server it is.
    if (const auto slash = host.rfind('/'); slash != std::string::npos)
        host.erase(0, slash + 1);
    if (host == "unix")
        host.clear();
    std::string number = display.substr(colon + 1);
    if (const auto dot = number.find('.'); dot != std::string::npos)
        number.resize(dot);
    return host + ":" + number;
}

LockResult X11InstanceLock::tryAcquire(const std::string& name)
{
    if (m_window != 0)
        return LockResult::acquired;
    m_holder.clear();
    std::string file = name + "." + serverOf(m_displayName) + ".lock";
    std::replace(file.begin(), file.end(), '/', '_');
    if (m_file.tryAcquire(file) == LockResult::heldElsewhere) {
        m_holder = describe(m_file.holderPid(), userName(::getuid()), hostName(), 0);
        return LockResult::heldElsewhere;
    }
    return claimSelection(name);
}

LockResult X11InstanceLock::claimSelection(const std::string& name)
{
    m_display = openDisplay(m_displayName.empty() ? nullptr : m_displayName.c_str());
    if (!m_display)
        return LockResult::failed;
    Display* display = m_display.get();
    m_selection = XInternAtom(display, (name + "_S0").c_str(), False);
    const Window root = RootWindow(display, 0);
    const Window window = ownerWindow(display);
    if (window == None) {
        m_display.reset();
        return LockResult::failed;
    }
    // A selection is claimed at a server time, not CurrentTime: the property changes' own.
    XEvent changed{};
    XWindowEvent(display, window, PropertyChangeMask, &changed);
    const Time time = changed.xproperty.time;
    XSelectInput(display, window, NoEventMask);

    // Grabbed, no other client can claim it between the look and the claim.
    XGrabServer(display);
    Window owner = XGetSelectionOwner(display, m_selection);
    if (owner == None)
        XSetSelectionOwner(display, m_selection, window, time);
    XUngrabServer(display);
    if (owner == None)
        owner = XGetSelectionOwner(display, m_selection);
    if (owner != window) {
        if (owner != None)
            describeOwner(owner);
        else
            Log::line("instance lock: the X server did not give us the selection");
        m_display.reset();
        return owner != None ? LockResult::heldElsewhere : LockResult::failed;
    }

    XClientMessageEvent announce{};
    announce.type = ClientMessage;
    announce.window = root;
    announce.message_type = XInternAtom(display, "MANAGER", False);
    announce.format = 32;
    announce.data.l[0] = static_cast<long>(time);
    announce.data.l[1] = static_cast<long>(m_selection);
    announce.data.l[2] = static_cast<long>(window);
    XSendEvent(display, root, False, StructureNotifyMask, reinterpret_cast<XEvent*>(&announce));
    XSync(display, False);
    m_window = window;
    return LockResult::acquired;
}

void X11InstanceLock::describeOwner(unsigned long owner)
{
    Display* display = m_display.get();
    const int localPid = clientPid(display, owner);
    int pid = localPid;
    if (pid == 0) {
        const auto pids = longProperty(display, owner, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 1);
        if (!pids.empty())
            pid = static_cast<int>(pids.front());
    }
    std::string host = textProperty(display, owner, XA_WM_CLIENT_MACHINE, XA_STRING);
    if (host.empty() && localPid > 0)
        host = hostName();
    m_holder = describe(pid, localPid > 0 ? userOf(localPid) : std::string(), host, owner);
}

int X11InstanceLock::fd() const
{
    return m_window != 0 ? ConnectionNumber(m_display.get()) : -1;
}

// Every client gets the core keymap's notices too: they are read and dropped here.
void X11InstanceLock::answerRequests()
{
    if (m_window == 0)
        return;
    Display* display = m_display.get();
    while (XPending(display) > 0) {
        XEvent event{};
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XSelectionEvent refusal{};
            refusal.type = SelectionNotify;
            refusal.requestor = request.requestor;
            refusal.selection = request.selection;
            refusal.target = request.target;
            refusal.property = None;
            refusal.time = request.time;
            XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&refusal));
        } else if (event.type == SelectionClear && event.xselectionclear.selection == m_selection) {
            Log::line("instance lock: another program took the instance selection");
        }
    }
    XFlush(display);
}

}  // namespace kx::platform::x11
