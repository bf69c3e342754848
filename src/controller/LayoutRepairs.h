#pragma once
// What the repairs watch for after a layout change: keys left in the old layout when the user
// switched in the middle of a word (an orphan), the application still reading keys through the
// old layout after our own switch or paste (a stale expectation, then a suspect first key), and
// the last paste, whose following space the application may swallow. Every verb takes the time
// now; nothing here reads a clock. Main thread only.

#include "engine/KeyboardLayoutInfo.h"
#include "engine/Script.h"
#include "platform/KeyStroke.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kx {

enum class StaleArm { ownSwitch, paste };

/// Keys typed in the old layout just before the user switched layouts.
struct PendingOrphan {
    std::vector<KeyStroke> keys;
    std::string text;
    Script script = Script::latin;
    double at = 0;
    std::optional<StaleArm> armedBy;
};

/// A first key that may have gone through the old layout after a switch or a paste.
struct SuspectStale {
    std::string text;
    KeyStroke key;
    KeyboardLayoutInfo old;
    StaleArm armedBy = StaleArm::ownSwitch;
    double at = 0;
};

/// The application may still type in old for a moment after the layout became new.
struct StaleExpectation {
    KeyboardLayoutInfo old;
    KeyboardLayoutInfo new_;
    StaleArm armedBy = StaleArm::ownSwitch;
    double deadline = 0;
    int wordStartsLeft = 2;
};

/// The last paste that landed.
struct LastPaste {
    std::string text;  // trailing blanks removed
    std::string app;
    double at = 0;
    bool repair = false;
};

class LayoutRepairs {
public:
    static constexpr std::size_t orphanMaxLength = 4;
    /// An orphan or a suspect this old no longer belongs to the word being typed.
    static constexpr double orphanLifetime = 10.0;
    /// A space lost after a paste shows up in the very next word, typed soon after.
    static constexpr double pasteMemory = 15.0;
    static constexpr double staleKeyWindow = 1.5;
    static constexpr int staleKeyWordStarts = 2;

    /// The user switched layouts at with keys of a word typed on layout: 1 to 4 keys that type
    /// something become the orphan, anything else drops it. The orphan kept, if any.
    const std::optional<PendingOrphan>& captureOrphan(const std::vector<KeyStroke>& keys,
                                                      const std::optional<KeyboardLayoutInfo>& layout, double at);
    void dropOrphan() { m_orphan.reset(); }
    /// The pending orphan, when younger than orphanLifetime and of another script than
    /// wordLayout, for a word that typed something; always cleared.
    std::optional<PendingOrphan> consumeOrphan(const std::string& typed, const KeyboardLayoutInfo& wordLayout,
                                               double now);

    /// For staleKeyWindow after we selected a layout, the first keys of the next
    /// staleKeyWordStarts words may still go through the old one.
    void expectStaleKeys(const KeyboardLayoutInfo& old, const KeyboardLayoutInfo& selected, StaleArm armedBy,
                         double now);
    void endStaleWatch() { m_stale.reset(); }
    /// The user's own switch: what our switch or paste left to watch for ends.
    void userSwitched()
    {
        m_stale.reset();
        m_suspect.reset();
    }
    /// The first key of a word, while keys are watched: a key that types one letter in each
    /// script becomes the suspect, which is returned; the watch ends with it, at its deadline
    /// or at its last word start.
    const SuspectStale* watchWordStart(KeyStroke key, double now);
    /// The suspect first key, when younger than orphanLifetime; always cleared.
    std::optional<SuspectStale> takeSuspect(double now);

    void notePaste(LastPaste paste) { m_paste = std::move(paste); }
    /// The last paste into app, when younger than pasteMemory; it is then forgotten.
    std::optional<LastPaste> takePasteInto(const std::string& app, double now);

    /// Our own switch went from layout (none when the current one was unknown).
    void noteOwnSwitch(std::optional<KeyboardLayoutInfo> from) { m_switchedFrom = std::move(from); }

    /// Forgets the watch, the suspect and the paste: the text before the caret is another now.
    void forgetScreen();

    const std::optional<PendingOrphan>& orphan() const { return m_orphan; }
    const std::optional<StaleExpectation>& staleExpectation() const { return m_stale; }
    const std::optional<SuspectStale>& suspect() const { return m_suspect; }
    const std::optional<LastPaste>& lastPaste() const { return m_paste; }
    const std::optional<KeyboardLayoutInfo>& switchedFrom() const { return m_switchedFrom; }

private:
    std::optional<PendingOrphan> m_orphan;
    std::optional<StaleExpectation> m_stale;
    std::optional<SuspectStale> m_suspect;
    std::optional<LastPaste> m_paste;
    std::optional<KeyboardLayoutInfo> m_switchedFrom;
};

}  // namespace kx
