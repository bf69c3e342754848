#include "ClipboardManager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <poll.h>
#include <utility>
#include <vector>

namespace kx::test {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

struct ClipboardManager::Connection {
    Display* display = nullptr;
    Window window = 0;
    Atom clipboard = 0, manager = 0, saveTargets = 0, targets = 0, multiple = 0, timestamp = 0, incoming = 0;
    bool ownsClipboard = false;

    // Waits up to two seconds for an event of type on our window; other events are put back.
    bool waitFor(int type, XEvent& event)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (Clock::now() < deadline) {
            if (XCheckTypedWindowEvent(display, window, type, &event))
                return true;
            pollfd watch{ConnectionNumber(display), POLLIN, 0};
            ::poll(&watch, 1, 20);
            XEventsQueued(display, QueuedAfterReading);
        }
        return false;
    }

    // The clipboard converted to target, asked of its owner; none when it refused or is silent.
    std::optional<std::pair<Atom, std::string>> convert(Atom target)
    {
        XDeleteProperty(display, window, incoming);
        XConvertSelection(display, clipboard, target, incoming, window, CurrentTime);
        XEvent event;
        if (!waitFor(SelectionNotify, event) || event.xselection.property == None)
            return std::nullopt;
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, incoming, 0, 0x1000000, True, AnyPropertyType, &type, &format, &count,
                               &remaining, &data) != Success)
            return std::nullopt;
        // Xlib hands 32-bit items as longs.
        const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
        std::string bytes(reinterpret_cast<const char*>(data), count * unit);
        XFree(data);
        return std::make_pair(type, bytes);
    }
};

ClipboardManager::ClipboardManager() : m_connection(std::make_unique<Connection>())
{
    Connection& c = *m_connection;
    c.display = XOpenDisplay(nullptr);
    if (!c.display)
        return;
    c.window = XCreateSimpleWindow(c.display, DefaultRootWindow(c.display), 0, 0, 1, 1, 0, 0, 0);
    c.clipboard = XInternAtom(c.display, "CLIPBOARD", False);
    c.manager = XInternAtom(c.display, "CLIPBOARD_MANAGER", False);
    c.saveTargets = XInternAtom(c.display, "SAVE_TARGETS", False);
    c.targets = XInternAtom(c.display, "TARGETS", False);
    c.multiple = XInternAtom(c.display, "MULTIPLE", False);
    c.timestamp = XInternAtom(c.display, "TIMESTAMP", False);
    c.incoming = XInternAtom(c.display, "KX_TEST_MANAGER", False);
    XSetSelectionOwner(c.display, c.manager, c.window, CurrentTime);
    m_ok = XGetSelectionOwner(c.display, c.manager) == c.window;
    m_window = c.window;
    XSync(c.display, False);
    m_thread = std::thread([this] { run(); });
}

ClipboardManager::~ClipboardManager()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_connection->display)
        XCloseDisplay(m_connection->display);
}

std::map<std::string, std::string> ClipboardManager::saved() const
{
    std::lock_guard lock(m_mutex);
    return m_saved;
}

void ClipboardManager::run()
{
    Connection& c = *m_connection;
    while (!m_stopping) {
        if (!XPending(c.display)) {
            pollfd watch{ConnectionNumber(c.display), POLLIN, 0};
            ::poll(&watch, 1, 20);
            continue;
        }
        XEvent event;
        XNextEvent(c.display, &event);
        if (event.type == SelectionClear && event.xselectionclear.selection == c.clipboard) {
            c.ownsClipboard = false;
            continue;
        }
        if (event.type != SelectionRequest)
            continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.time = request.time;
        reply.xselection.property = None;

        if (request.selection == c.manager && request.target == c.saveTargets) {
            std::map<std::string, std::string> copy;
            if (const auto list = c.convert(c.targets); list && list->first == XA_ATOM) {
                const auto* atoms = reinterpret_cast<const long*>(list->second.data());
                for (std::size_t i = 0; i < list->second.size() / sizeof(long); ++i) {
                    const auto target = static_cast<Atom>(atoms[i]);
                    if (target == c.targets || target == c.multiple || target == c.timestamp || target == c.saveTargets)
                        continue;
                    char* name = XGetAtomName(c.display, target);
                    if (const auto data = c.convert(target); data && name)
                        copy[name] = data->second;
                    XFree(name);
                }
            }
            {
                std::lock_guard lock(m_mutex);
                m_saved = copy;
            }
            reply.xselection.property = request.property;
            XSetSelectionOwner(c.display, c.clipboard, c.window, CurrentTime);
            c.ownsClipboard = XGetSelectionOwner(c.display, c.clipboard) == c.window;
            ++m_saves;
        } else if (request.selection == c.clipboard && c.ownsClipboard) {
            const auto saved = this->saved();
            if (request.target == c.targets) {
                std::vector<long> atoms = {static_cast<long>(c.targets)};
                for (const auto& [name, data] : saved)
                    atoms.push_back(static_cast<long>(XInternAtom(c.display, name.c_str(), False)));
                XChangeProperty(c.display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(atoms.data()), static_cast<int>(atoms.size()));
                reply.xselection.property = request.property;
            } else {
                char* name = XGetAtomName(c.display, request.target);
                if (const auto it = saved.find(name ? name : ""); it != saved.end()) {
                    XChangeProperty(c.display, request.requestor, request.property, request.target, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(it->second.data()),
                                    static_cast<int>(it->second.size()));
                    reply.xselection.property = request.property;
                }
                XFree(name);
            }
        }
        XSendEvent(c.display, request.requestor, False, NoEventMask, &reply);
        XFlush(c.display);
    }
}

}  // namespace kx::test
