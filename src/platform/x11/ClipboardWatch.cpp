#include "platform/x11/ClipboardWatch.h"

#include "platform/Log.h"
#include "platform/x11/XClientPid.h"
#include "platform/x11/XConnection.h"
#include "platform/x11/XProperty.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <mutex>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace kx::platform::x11 {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

struct ClipboardWatch::State {
    DisplayPtr display;
    Window window = 0;  // receives the converted text; never mapped
    Atom clipboard = 0;
    Atom utf8String = 0;
    Atom incr = 0;
    Atom property = 0;
    int fixesEventBase = 0;
    Window ownOwner = 0;
    std::mutex mutex;

    // Waits for an event of type on our window until deadline; false when none came.
    bool waitFor(int type, XEvent& event, Clock::time_point deadline)
    {
        Display* d = display.get();
        while (true) {
            if (XCheckTypedWindowEvent(d, window, type, &event))
                return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd watch{ConnectionNumber(d), POLLIN, 0};
            ::poll(&watch, 1, static_cast<int>(left));
            XEventsQueued(d, QueuedAfterReading);
        }
    }

    // The property's whole value, deleted as it is read; none when it is not there.
    std::optional<std::string> takeProperty(Atom& type)
    {
        const auto value = readProperty(display.get(), window, property, AnyPropertyType, 0x1fffffff, true);
        if (!value)
            return std::nullopt;
        type = value->type;
        if (type == None)
            return std::nullopt;
        // Xlib hands 32-bit items as longs.
        const unsigned long unit = value->format == 32 ? sizeof(long) : static_cast<unsigned long>(value->format / 8);
        return std::string(reinterpret_cast<const char*>(value->data.get()), value->count * unit);
    }

    static Clock::time_point deadlineAfter(double timeout)
    {
        return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
    }

    // The selection converted to target by its owner, with the type it came as; none when it
    // refused or did not finish by deadline.
    std::optional<std::string> convert(Atom target, Atom& type, Clock::time_point deadline)
    {
        Display* d = display.get();
        XEvent event;
        // A late answer to an earlier request that was given up on is not this one's.
        while (XCheckTypedWindowEvent(d, window, SelectionNotify, &event)) {
        }
        XDeleteProperty(d, window, property);
        XConvertSelection(d, clipboard, target, property, window, CurrentTime);
        XFlush(d);
        if (!waitFor(SelectionNotify, event, deadline) || event.xselection.property == None)
            return std::nullopt;
        type = None;
        auto value = takeProperty(type);
        if (!value || type != incr)
            return value;
        // Large text comes in pieces: each piece is a new value of the property, the last one empty.
        std::string whole;
        while (waitFor(PropertyNotify, event, deadline)) {
            if (event.xproperty.atom != property || event.xproperty.state != PropertyNewValue)
                continue;
            // The notice of the announcement itself, already taken, comes first: no piece yet.
            const auto piece = takeProperty(type);
            if (!piece)
                continue;
            if (piece->empty())
                return whole;
            whole += *piece;
        }
        return std::nullopt;
    }

    std::optional<std::string> read(double timeout)
    {
        Atom type = None;
        return convert(utf8String, type, deadlineAfter(timeout));
    }

    std::optional<std::map<std::string, std::string>> readAll(double timeout)
    {
        Display* d = display.get();
        const auto deadline = deadlineAfter(timeout);
        std::map<std::string, std::string> item;
        if (XGetSelectionOwner(d, clipboard) == None)
            return item;
        Atom type = None;
        const auto list = convert(XInternAtom(d, "TARGETS", False), type, deadline);
        if (!list)
            return std::nullopt;
        if (type != XA_ATOM)
            return item;
        std::vector<Atom> targets(list->size() / sizeof(long));
        for (std::size_t i = 0; i < targets.size(); ++i)
            targets[i] = static_cast<Atom>(reinterpret_cast<const long*>(list->data())[i]);
        for (const Atom target : targets) {
            char* rawName = XGetAtomName(d, target);
            const std::string name = rawName ? rawName : "";
            XFree(rawName);
            // The text in UTF-8 stands for all its older encodings; private targets have no MIME name.
            const bool text = target == utf8String;
            if (!text && name.find('/') == std::string::npos)
                continue;
            const auto data = convert(target, type, deadline);
            if (!data) {
                if (Clock::now() >= deadline)
                    return std::nullopt;
                continue;  // refused: the owner does not have it after all
            }
            if (!data->empty())
                item.emplace(text ? "text/plain" : name, *data);
        }
        return item;
    }
};

ClipboardWatch::ClipboardWatch(const char* displayName) : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.display = openDisplay(displayName);
    if (!s.display)
        return;
    Display* d = s.display.get();
    int errorBase = 0;
    if (!XFixesQueryExtension(d, &s.fixesEventBase, &errorBase)) {
        Log::line("pasteboard: the X server has no XFixes — copies elsewhere are noticed late");
        s.display.reset();
        return;
    }
    s.clipboard = XInternAtom(d, "CLIPBOARD", False);
    s.utf8String = XInternAtom(d, "UTF8_STRING", False);
    s.incr = XInternAtom(d, "INCR", False);
    s.property = XInternAtom(d, "KX_CLIPBOARD_TEXT", False);
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    s.window = XCreateWindow(d, DefaultRootWindow(d), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, CWEventMask,
                             &attributes);
    XFixesSelectSelectionInput(d, s.window, s.clipboard,
                               XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
    XSync(d, False);
}

ClipboardWatch::~ClipboardWatch()
{
    if (m_state->display)
        XDestroyWindow(m_state->display.get(), m_state->window);
}

bool ClipboardWatch::ok() const
{
    return m_state->display != nullptr;
}

bool ClipboardWatch::ownedHere()
{
    if (!ok())
        return false;
    std::lock_guard lock(m_state->mutex);
    Display* d = m_state->display.get();
    const Window owner = XGetSelectionOwner(d, m_state->clipboard);
    if (owner == None)
        return false;
    if (owner == m_state->ownOwner)
        return true;
    if (clientPid(d, owner) != static_cast<int>(::getpid()))
        return false;
    m_state->ownOwner = owner;
    return true;
}

bool ClipboardWatch::managerRunning()
{
    if (!ok())
        return false;
    std::lock_guard lock(m_state->mutex);
    Display* d = m_state->display.get();
    return XGetSelectionOwner(d, XInternAtom(d, "CLIPBOARD_MANAGER", False)) != None;
}

std::int64_t ClipboardWatch::takeForeignChanges()
{
    if (!ok())
        return 0;
    std::lock_guard lock(m_state->mutex);
    Display* d = m_state->display.get();
    // The round trip brings every notice the server sent before it.
    XSync(d, False);
    std::int64_t changes = 0;
    XEvent event;
    while (XCheckTypedEvent(d, m_state->fixesEventBase + XFixesSelectionNotify, &event)) {
        const auto& notice = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
        if (notice.owner == None || notice.owner != m_state->ownOwner)
            ++changes;
    }
    return changes;
}

std::optional<std::map<std::string, std::string>> ClipboardWatch::readAll(double timeout)
{
    if (!ok())
        return std::nullopt;
    std::lock_guard lock(m_state->mutex);
    auto item = m_state->readAll(timeout);
    XEvent event;
    while (XCheckTypedWindowEvent(m_state->display.get(), m_state->window, PropertyNotify, &event)) {
    }
    return item;
}

std::optional<std::string> ClipboardWatch::readText(double timeout)
{
    if (!ok())
        return std::nullopt;
    std::lock_guard lock(m_state->mutex);
    auto text = m_state->read(timeout);
    // Notices of our own property changes are of no further use.
    XEvent event;
    while (XCheckTypedWindowEvent(m_state->display.get(), m_state->window, PropertyNotify, &event)) {
    }
    return text;
}

}  // namespace kx::platform::x11
