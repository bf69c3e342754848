#pragma once
// Which layout the user's keys are typed in, and whose a layout switch is. A quick typist
// switches layouts and types at once: the first key in the new layout can reach the tap before
// the desktop's notice of the switch, so where keys tell their layout they are believed over
// the notices; our own switches are told apart for a moment after we make them. Main thread only.

#include "engine/KeyboardLayoutInfo.h"
#include "platform/MainQueue.h"

#include <memory>
#include <optional>

namespace kx {

class KeyLayoutFollower {
public:
    /// The desktop's notice of our own switch comes within this long.
    static constexpr double ownSwitchWindow = 1.5;

    /// What the desktop's notice of a switch means.
    enum class Notice {
        ownSwitch,    // ours: nothing to do
        userSwitch,   // the user's, and keys tell no layout: the word ends now
        awaitingKey,  // keys tell the layout: the first key typed in the new one ends the word
    };

    explicit KeyLayoutFollower(MainQueue& main);

    /// We are selecting a layout: its notice, within ownSwitchWindow, is ours.
    void ownSwitchMade();
    /// The desktop told at now that the layout with currentHandle (-1: none) became current.
    Notice layoutChanged(int currentHandle, double now);
    /// The desktop placed a switch among the keys: the keys after it are typed in sourceHandle.
    void layoutSelected(int sourceHandle) { m_keyLayoutHandle = sourceHandle; }
    /// A key typed in sourceHandle (-1: not told) at now. When the keys before it were typed in
    /// another layout, the user switched: when, as well as is known.
    std::optional<double> followKey(int sourceHandle, double now);
    /// The key just observed was typed in layout (none: unknown).
    void keyObservedIn(std::optional<KeyboardLayoutInfo> layout) { m_lastKnownLayout = std::move(layout); }

    /// The layout the last key was typed in: a word's, since the selected one may have changed.
    const std::optional<KeyboardLayoutInfo>& lastKnownLayout() const { return m_lastKnownLayout; }
    /// The input source the keys are typed in; -1 until a key tells.
    int keyLayoutHandle() const { return m_keyLayoutHandle; }
    /// The input source selected before the current one, by the user or by us; -1 until the
    /// desktop told of a second one. A user back on a wrong layout most likely meant this one.
    int selectedBeforeHandle() const { return m_selectedBeforeHandle; }

private:
    MainQueue& m_main;
    std::optional<KeyboardLayoutInfo> m_lastKnownLayout;
    int m_keyLayoutHandle = -1;
    int m_selectedHandle = -1;
    int m_selectedBeforeHandle = -1;
    /// When the desktop told of a switch of the user's that no key has shown yet.
    std::optional<double> m_userSwitchNoticedAt;
    bool m_ownSwitchPending = false;
    std::unique_ptr<TimerHandle> m_ownSwitchExpiry;
};

}  // namespace kx
