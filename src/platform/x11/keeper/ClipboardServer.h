#pragma once
// Owns the CLIPBOARD selection and serves one item of data by its own connection, with no Qt:
// the keeper's whole work. Text is offered under the names X11 programs ask for (UTF8_STRING,
// TEXT, STRING when it is plain ASCII, the text/plain types), every other type under its MIME
// name; data larger than one request goes in pieces (INCR).

#include "platform/Pasteboard.h"

#include <X11/Xlib.h>

#include <map>
#include <string>
#include <vector>

namespace kx::platform::x11 {

class ClipboardServer {
public:
    explicit ClipboardServer(const PasteboardItem& item);
    ~ClipboardServer();
    ClipboardServer(const ClipboardServer&) = delete;
    ClipboardServer& operator=(const ClipboardServer&) = delete;

    /// Connects to $DISPLAY and takes the clipboard; false when there is no server or another
    /// owner kept it.
    bool take();
    /// Answers requests until another client takes the clipboard or the server goes away.
    void run();

private:
    // A transfer in pieces: the requestor deletes the property to ask for the next one.
    struct Transfer {
        Window requestor;
        Atom property;
        Atom type;
        std::string data;
        std::size_t sent = 0;
    };

    void answer(const XSelectionRequestEvent& request);
    // Puts target's data on the requestor's property; false when there is none to give.
    bool put(Window requestor, Atom property, Atom target);
    // The next piece; false once the empty piece that ends the transfer went.
    bool sendNextPiece(Transfer& transfer);
    Atom atom(const char* name);

    Display* m_display = nullptr;
    Window m_window = 0;
    Time m_time = CurrentTime;
    Atom m_clipboard = 0, m_targets = 0, m_timestamp = 0, m_incr = 0, m_utf8 = 0, m_text = 0;
    std::map<Atom, std::string> m_data;  // by target, the text under each of its names
    std::size_t m_pieceSize = 0;
    std::vector<Transfer> m_transfers;
};

}  // namespace kx::platform::x11
