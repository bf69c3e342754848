#pragma once
// Posts synthetic keyboard events to the focused application, at the hardware level, as if typed.
// Posting returns at once unless the desktop acknowledges; the pauses between events are the caller's.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx::platform {

struct SyntheticKey {
    std::uint16_t code = 0;
    std::uint64_t flags = 0;
    bool down = true;
    /// Unicode insertion: the text (one character) this event types whatever the layout; code is
    /// then 0. Empty for an ordinary key, which types what code and flags type on the current layout.
    std::string text;
    /// The program's own event: the tap lets it pass untouched. Unmarked events are taken for the
    /// user's own typing (the drill posts them so).
    bool marked = true;
    /// An ordinary key: the input source it types in, as the user typed it; -1: the selected one.
    int sourceHandle = -1;
    bool operator==(const SyntheticKey&) const = default;
};

/// The window that has the keyboard focus, as the desktop names it: only ever compared.
using FocusWindow = std::uint64_t;

/// What posting a batch into a window came to.
enum class BatchOutcome {
    posted,     // every event went out
    partly,     // an event could not be made and was skipped; the others went out
    focusLeft,  // the focus had left the window: nothing went out
};

class EventPoster {
public:
    virtual ~EventPoster() = default;

    /// Posts event. False when it could not be made or posted; then nothing was posted.
    /// Callable from any thread.
    virtual bool post(const SyntheticKey& event) = 0;
    /// Whether post() returns only once the desktop has taken the event, so that no pause is
    /// needed after it for the next one to come after it.
    virtual bool acknowledges() const { return false; }
    /// Posts events in order as one: where the desktop acknowledges, no other client's key comes
    /// between them and this returns once it has taken the last. An event that cannot be made is
    /// skipped, the others still go; false when one was. Here each is simply posted in turn: a
    /// desktop that does not acknowledge needs a pause after every event, so its callers post
    /// one by one instead. Callable from any thread.
    virtual bool postBatch(const std::vector<SyntheticKey>& events)
    {
        bool all = true;
        for (const auto& event : events)
            all = post(event) && all;
        return all;
    }
    /// The window that has the keyboard focus now; none when it cannot be told. Any thread.
    virtual std::optional<FocusWindow> focusWindow() { return std::nullopt; }
    /// Whether the focus is still in window (from focusWindow()): false once it has gone to a
    /// window of another top-level window, or nowhere. Any thread.
    virtual bool focusStillIn(FocusWindow window) { return focusWindow() == window; }
    /// As postBatch, into window (from focusWindow()) only: when the focus is no longer in it
    /// (focusStillIn), nothing is posted. Where the desktop acknowledges, the focus is checked as
    /// the batch goes out, when no other client can move it; here just before. Any thread.
    virtual BatchOutcome postBatchInto(FocusWindow window, const std::vector<SyntheticKey>& events)
    {
        if (!focusStillIn(window))
            return BatchOutcome::focusLeft;
        return postBatch(events) ? BatchOutcome::posted : BatchOutcome::partly;
    }
    /// Whether every character of text can be typed as text events now; false (logged) when one
    /// cannot, so that a rewrite is given up before anything of it is posted. Any thread.
    virtual bool canType(const std::string& /*text*/) { return true; }
};

}  // namespace kx::platform
