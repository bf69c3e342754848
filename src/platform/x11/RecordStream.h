#pragma once
// Reads what XRecord intercepts, in the server's order: key and button presses from every device,
// and the requests that tell whose they are. A press that directly follows an XTEST request made
// on our own connection is ours (the server runs a fake-input request at once, so its event comes
// next); a key press that follows our own keyboard grab and precedes our release of it was kept
// from the applications; our own NoOperation request marks a barrier, and our own XKB group lock
// marks where our layout switch fell among the keys. Pure: it only reads bytes.

#include <cstdint>
#include <optional>
#include <span>

namespace kx::platform::x11 {

/// One intercepted record, as XRecordInterceptData gives it.
struct Intercept {
    int category = 0;          // XRecordFromServer, XRecordFromClient, ...
    std::uint32_t idBase = 0;  // resource-id base of the client the record belongs to
    bool swapped = false;      // the record is in the other byte order
    std::span<const unsigned char> data;
};

/// A press as the server processed it.
struct DeviceInput {
    /// barrier: our own NoOperation request; every press before it has been read.
    /// groupLocked: our own layout switch; presses before it were typed in the group it left.
    enum class Kind { keyPress, buttonPress, barrier, groupLocked };
    Kind kind = Kind::keyPress;
    unsigned detail = 0;     // keycode, button or locked group
    unsigned state = 0;      // X modifier state before the press
    std::uint32_t time = 0;  // server time of the press, in milliseconds
    int rootX = 0;
    int rootY = 0;
    /// Made by our own XTEST request.
    bool ours = false;
    /// Arrived while our own keyboard grab held it back: no application saw it.
    bool held = false;

    bool operator==(const DeviceInput&) const = default;
};

class RecordStream {
public:
    /// ownBase: the resource-id base of the connection that posts, grabs and switches layouts;
    /// xtestOpcode and xkbOpcode: the major opcodes of XTEST and XKB.
    RecordStream(std::uint32_t ownBase, int xtestOpcode, int xkbOpcode)
        : m_ownBase(ownBase), m_xtestOpcode(xtestOpcode), m_xkbOpcode(xkbOpcode)
    {}

    /// Takes the next record; the press it is, if it is one.
    std::optional<DeviceInput> feed(const Intercept& record);

private:
    struct FakeRequest {
        bool ours = false;
        unsigned type = 0;
        unsigned detail = 0;
    };

    /// Our barrier or group lock, when the request is one.
    std::optional<DeviceInput> takeRequest(const Intercept& record);

    std::uint32_t m_ownBase;
    int m_xtestOpcode;
    int m_xkbOpcode;
    std::optional<FakeRequest> m_lastFake;
    bool m_grabbed = false;
};

}  // namespace kx::platform::x11
