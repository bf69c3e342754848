#pragma once
// The keyboard and mouse tap: every key-down and left or right mouse-down the user makes reaches
// the handler before any application, and the handler lets it pass or swallows it; a swallowed
// event reaches no application. Key-ups are not tapped: they always reach the application.
// The two hot keys arrive in one form whatever the desktop's keys for them are: K and Z
// with Option and Command (on X11 Ctrl+Alt+K and Ctrl+Alt+Z).

#include "platform/Pointer.h"

#include <cstdint>
#include <functional>

namespace kx::platform {

/// The tapped event kinds, numbered as the controller's rules name them.
enum class TapEventType : std::uint32_t {
    leftMouseDown = 1,
    rightMouseDown = 3,
    keyDown = 10,
    /// Notices, not input: the desktop turned the tap off because the handler was too slow, or
    /// because of the user's own input. Events pass unseen until enable() is called.
    disabledByTimeout = 0xFFFFFFFE,
    disabledByUserInput = 0xFFFFFFFF,
    /// A notice, not input: the program's own layout selection (sourceHandle: the source it
    /// selected) took effect here, among the keys: a key before it was typed in the layout it left.
    /// Sent by a desktop whose tap may see a key typed before the selection only after it.
    layoutSelected = 0xFFFFFFFD,
};

struct TapEvent {
    TapEventType type = TapEventType::keyDown;
    /// Key-downs: the virtual key code and the modifier flags (Shift 0x20000, Caps Lock 0x10000,
    /// Control 0x40000, Option 0x80000, Command 0x100000).
    std::uint16_t code = 0;
    std::uint64_t flags = 0;
    /// Key-downs: the handle of the input source the key was typed in, where the desktop tells
    /// (the layout may have changed by the time the handler sees the key); -1: the one selected now.
    int sourceHandle = -1;
    /// The program's own event (EventPoster with marked set): the handler lets it pass untouched.
    bool marked = false;
    /// The application already has this key: the desktop showed it to the tap only after
    /// delivering it (X11 before the hold takes effect), so swallowing it cannot keep it back.
    bool delivered = false;
    /// The hold (setHolding) kept this key from the applications: when it reaches the handler
    /// after the hold ended, passing it hands it on only now, behind any key typed since.
    bool keptBack = false;
    /// Mouse-downs: where the click happened.
    ScreenPoint location;
    bool operator==(const TapEvent&) const = default;
};

enum class TapVerdict { pass, swallow };

/// Runs on the main thread and must return quickly: the user's input waits for it.
using TapHandler = std::function<TapVerdict(const TapEvent&)>;

class EventTap {
public:
    virtual ~EventTap() = default;

    /// Starts handing every tapped event to handler until this object is destroyed. False when the
    /// desktop refuses (a permission is missing, an extension is absent); nothing is tapped then.
    /// A second call while installed returns false and keeps the first handler.
    virtual bool install(TapHandler handler) = 0;
    /// Turns the tap on again after a disabled notice. Does nothing when not installed.
    virtual void enable() = 0;
    /// The program starts (true) or stops (false) typing a rewrite into the focused application.
    /// A desktop whose tap sees keys only after delivery keeps the user's keys from the
    /// applications meanwhile, so that a swallowed key is really held back; where the handler's
    /// verdict alone decides, there is nothing to do. Main thread.
    virtual void setHolding(bool on) { (void)on; }
    /// Runs then on the main thread once every key the desktop took before this call has reached
    /// the handler: a barrier, so that no key is still on its way when the hold ends. Where the
    /// handler sees each key as it is taken, that is at once.
    virtual void afterPendingKeys(std::function<void()> then) { then(); }
};

}  // namespace kx::platform
