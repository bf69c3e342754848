#include "ClipboardServer.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <optional>

namespace kx::platform::x11 {

namespace {

// A requestor that vanished mid-transfer makes our next write fail; that is its loss, not ours.
int ignoreError(Display*, XErrorEvent*)
{
    return 0;
}

std::optional<std::string> textOf(const PasteboardItem& item)
{
    for (const char* type : {"text/plain;charset=utf-8", "text/plain"}) {
        if (const auto it = item.find(type); it != item.end())
            return it->second;
    }
    return std::nullopt;
}

}  // namespace

ClipboardServer::ClipboardServer(const PasteboardItem& item)
{
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return;
    XSetErrorHandler(ignoreError);
    m_clipboard = atom("CLIPBOARD");
    m_targets = atom("TARGETS");
    m_timestamp = atom("TIMESTAMP");
    m_incr = atom("INCR");
    m_utf8 = atom("UTF8_STRING");
    m_text = atom("TEXT");
    for (const auto& [type, data] : item)
        m_data[atom(type.c_str())] = data;
    if (const auto text = textOf(item)) {
        for (const Atom name : {m_utf8, m_text, atom("text/plain;charset=utf-8"), atom("text/plain")})
            m_data[name] = *text;
        // STRING is Latin-1: only ASCII text reads the same in it.
        if (std::ranges::all_of(*text, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            m_data[XA_STRING] = *text;
    }
    const long maxRequest =
        XExtendedMaxRequestSize(m_display) ? XExtendedMaxRequestSize(m_display) : XMaxRequestSize(m_display);
    // Requests are counted in 4-byte units; leave room for the request's own header.
    m_pieceSize = std::min<std::size_t>(static_cast<std::size_t>(maxRequest) * 4 - 100, 1 << 18);
}

ClipboardServer::~ClipboardServer()
{
    if (m_display)
        XCloseDisplay(m_display);
}

Atom ClipboardServer::atom(const char* name)
{
    return XInternAtom(m_display, name, False);
}

bool ClipboardServer::take()
{
    if (!m_display || m_data.empty())
        return false;
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    m_window = XCreateWindow(m_display, DefaultRootWindow(m_display), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent,
                             CWEventMask, &attributes);
    // The server's time, from a change of our own window: the selection is taken at a real time.
    XChangeProperty(m_display, m_window, m_timestamp, XA_INTEGER, 32, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(m_display, m_window, PropertyChangeMask, &event);
    m_time = event.xproperty.time;
    XSetSelectionOwner(m_display, m_clipboard, m_window, m_time);
    return XGetSelectionOwner(m_display, m_clipboard) == m_window;
}

void ClipboardServer::run()
{
    while (true) {
        XEvent event;
        XNextEvent(m_display, &event);  // a server that goes away ends the process in Xlib
        if (event.type == SelectionClear && event.xselectionclear.selection == m_clipboard)
            return;
        if (event.type == SelectionRequest) {
            answer(event.xselectionrequest);
        } else if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete) {
            const auto it = std::ranges::find_if(m_transfers, [&](const Transfer& t) {
                return t.requestor == event.xproperty.window && t.property == event.xproperty.atom;
            });
            if (it != m_transfers.end() && !sendNextPiece(*it)) {
                const Window requestor = it->requestor;
                m_transfers.erase(it);
                if (std::ranges::none_of(m_transfers, [&](const Transfer& t) { return t.requestor == requestor; }))
                    XSelectInput(m_display, requestor, NoEventMask);
            }
        } else if (event.type == DestroyNotify) {
            std::erase_if(m_transfers, [&](const Transfer& t) { return t.requestor == event.xdestroywindow.window; });
        }
    }
}

void ClipboardServer::answer(const XSelectionRequestEvent& request)
{
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    // Old clients name no property: the target's name serves as one.
    const Atom property = request.property == None ? request.target : request.property;
    const bool current = request.time == CurrentTime || request.time >= m_time;
    if (request.selection == m_clipboard && current && put(request.requestor, property, request.target))
        reply.xselection.property = property;
    XSendEvent(m_display, request.requestor, False, NoEventMask, &reply);
    XFlush(m_display);
}

bool ClipboardServer::put(Window requestor, Atom property, Atom target)
{
    if (target == m_targets) {
        std::vector<long> targets = {static_cast<long>(m_targets), static_cast<long>(m_timestamp)};
        for (const auto& [name, data] : m_data)
            targets.push_back(static_cast<long>(name));
        XChangeProperty(m_display, requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(targets.data()), static_cast<int>(targets.size()));
        return true;
    }
    if (target == m_timestamp) {
        const long time = static_cast<long>(m_time);
        XChangeProperty(m_display, requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&time), 1);
        return true;
    }
    const auto it = m_data.find(target);
    if (it == m_data.end())
        return false;
    // TEXT leaves the encoding to us: UTF-8.
    const Atom type = target == m_text ? m_utf8 : target;
    const std::string& data = it->second;
    if (data.size() <= m_pieceSize) {
        XChangeProperty(m_display, requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        return true;
    }
    // Too large for one request: announce the size, then a piece each time the requestor has
    // taken the last one (deleted the property), and an empty piece at the end.
    std::erase_if(m_transfers, [&](const Transfer& t) { return t.requestor == requestor && t.property == property; });
    m_transfers.push_back({requestor, property, type, data});
    XSelectInput(m_display, requestor, PropertyChangeMask | StructureNotifyMask);
    const long size = static_cast<long>(data.size());
    XChangeProperty(m_display, requestor, property, m_incr, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&size), 1);
    return true;
}

bool ClipboardServer::sendNextPiece(Transfer& transfer)
{
    const std::size_t length = std::min(m_pieceSize, transfer.data.size() - transfer.sent);
    XChangeProperty(m_display, transfer.requestor, transfer.property, transfer.type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(transfer.data.data() + transfer.sent),
                    static_cast<int>(length));
    transfer.sent += length;
    XFlush(m_display);
    return length > 0;
}

}  // namespace kx::platform::x11
