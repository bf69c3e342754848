#pragma once
// The one writer into other applications: synthetic key events (Backspaces, Unicode text, single
// keys), text pasted through the pasteboard, and the layout selection. Every event carries the
// program's marker, so its own tap lets it through, and every post is followed by a 2.5 ms pause
// unless the desktop acknowledges each post (X11: the server has taken it when post returns);
// there the events of one operation (a whole typed rewrite) go as one batch.
// The typing operations block their thread for their pauses and are meant for the serial
// actuation queue; the pauses go through the sleeper given at creation.

#include "controller/ActuationStrategy.h"
#include "engine/KeyboardLayoutInfo.h"
#include "platform/DelayedBlocks.h"
#include "platform/EventPoster.h"
#include "platform/InputSources.h"
#include "platform/MainQueue.h"
#include "platform/Pasteboard.h"
#include "platform/SerialQueue.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kx {

/// The user's pasteboard as it was before a paste, put back afterwards.
struct PasteboardSnapshot {
    std::vector<platform::PasteboardItem> items;

    explicit PasteboardSnapshot(platform::Pasteboard& pasteboard);
    explicit PasteboardSnapshot(std::vector<platform::PasteboardItem> saved) : items(std::move(saved)) {}
    /// Always clears the pasteboard; writes the saved items back when there are any.
    void restore(platform::Pasteboard& pasteboard) const;
};

class Actuator {
public:
    /// The pause after every posted event.
    static constexpr double postPause = 0.0025;
    /// Pasted text has to be on the pasteboard before the paste key reaches the application.
    static constexpr double pasteSettle = 0.015;
    /// Around a paste, so the application is done with the Backspaces and the paste.
    static constexpr double clipboardPause = 0.045;
    /// The user's pasteboard comes back this long after a paste.
    static constexpr double restoreDelay = 0.2;
    /// The longest a paste waits to save the user's pasteboard: the keyboard is held meanwhile.
    static constexpr double snapshotTimeout = 0.25;

    static constexpr std::uint16_t backspaceKey = 51;
    static constexpr std::uint16_t vKey = 9;
    static constexpr std::uint16_t cKey = 8;
    static constexpr std::uint16_t spaceKey = 49;
    static constexpr std::uint16_t tabKey = 48;

    /// Made on the main thread, which selectLayout() recognises.
    Actuator(platform::EventPoster& poster, platform::Pasteboard& pasteboard, platform::InputSources& sources,
             MainQueue& main, Sleeper sleeper);

    /// One key-down and one key-up of code, both with exactly flags, typing what the key types in
    /// the input source sourceHandle (-1: the selected one); whether both went out.
    bool tapKey(std::uint16_t code, std::uint64_t flags, int sourceHandle = -1);
    /// Types text, one key pair per character carrying all its UTF-16 units; whether every
    /// character went out.
    bool insert(const std::string& text);
    /// Pastes text (nothing for empty text) and restores the user's pasteboard 0.2 s later unless
    /// someone wrote to it meanwhile. When the user's pasteboard cannot be saved in time, types
    /// text instead and leaves the pasteboard alone. Whether the paste keys (or the typed text)
    /// went out.
    bool paste(const std::string& text);
    /// deleteCount Backspaces, then text typed or pasted; under clipboard a trailing space or tab
    /// is typed as a key after the paste. Whether every event went out; when text cannot be
    /// typed here nothing is posted at all (logged), so no Backspace eats text that would not
    /// come back. into: the window the text was typed in (EventPoster::focusWindow()); once the
    /// focus has left it nothing more is posted (logged), so no other window gets the keys.
    [[nodiscard]] bool replace(int deleteCount, const std::string& text, ActuationStrategy strategy,
                               std::optional<platform::FocusWindow> into = std::nullopt);
    /// Command-C; whether it went out.
    bool copySelection();
    /// Makes layout the current input source, always on the main thread.
    void selectLayout(const KeyboardLayoutInfo& layout);

    /// Posts one marked event and pauses; an event that cannot be posted is skipped (false).
    bool postKey(std::uint16_t code, std::uint64_t flags, bool down);

    /// Whether the desktop has taken each event once it is posted.
    bool acknowledged() const { return m_poster.acknowledges(); }

    /// Whether a paste's restore of the user's pasteboard has yet to run. Any thread.
    bool restorePending() const { return m_restores.pending() > 0; }

private:
    bool post(const platform::SyntheticKey& event);
    /// Posts events in order: as one batch where the desktop acknowledges, else one by one with
    /// a pause after each. Whether every event went out.
    bool postAll(const std::vector<platform::SyntheticKey>& events);
    /// Whether the focus is still in window (none: no window to stay in); logs when it is not.
    bool focusStays(std::optional<platform::FocusWindow> window);
    /// As postAll, into window only: false, with nothing posted and a log line, once the focus
    /// has left it.
    bool postAllInto(std::optional<platform::FocusWindow> window, const std::vector<platform::SyntheticKey>& events);
    /// Appends the key-down down and its key-up.
    static void addPair(std::vector<platform::SyntheticKey>& events, const platform::SyntheticKey& down);
    /// Appends a key pair per character of text, each carrying all the character's units.
    static void addText(std::vector<platform::SyntheticKey>& events, const std::string& text);

    platform::EventPoster& m_poster;
    platform::Pasteboard& m_pasteboard;
    platform::InputSources& m_sources;
    MainQueue& m_main;
    Sleeper m_sleep;
    std::thread::id m_mainThread = std::this_thread::get_id();
    // The newest paste whose restore has yet to run: what it saved and the change it wrote.
    struct Unrestored {
        std::shared_ptr<const PasteboardSnapshot> snapshot;
        std::int64_t written = 0;
    };
    std::mutex m_unrestoredMutex;
    std::optional<Unrestored> m_unrestored;
    // The pastes' restores, asked for on the actuation queue and run on the main thread. One
    // still waiting when the actuator goes is dropped with it: the program waits for
    // restorePending() before it quits.
    DelayedBlocks m_restores{m_main};
};

}  // namespace kx
