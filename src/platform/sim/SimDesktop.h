#pragma once
// A simulated Linux desktop for scenario tests and demos: enabled layouts, applications each with a
// focused text field, a pasteboard, secure input, permissions, sounds, a login item and an instance
// lock, all in memory. The user types through the tap exactly as on a real desktop: a key-down
// goes to the tap's handler first and reaches the front application's field only when it passes;
// keys type what the real key tables say. The program's posted events take the same road, marked.
//
// Single-threaded: drive it, the main queue and the program's serial queues (inline) from one
// thread. Each user action first lets the main queue run what is due now, as a desktop's event loop
// does between two key presses, and again at its end; delays need the clock to be advanced.

#include "platform/KeyStroke.h"
#include "platform/VirtualMainQueue.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimEventPoster.h"
#include "platform/sim/SimEventTap.h"
#include "platform/sim/SimInputSources.h"
#include "platform/sim/SimInstanceLock.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimPermissions.h"
#include "platform/sim/SimPointer.h"
#include "platform/sim/SimSecureInput.h"
#include "platform/sim/SimSound.h"
#include "platform/sim/SimTextField.h"
#include "platform/sim/SimWorkspace.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kx::sim {

enum class MouseButton { left, right };

class SimDesktop {
public:
    explicit SimDesktop(VirtualMainQueue& mainQueue);
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    // The services handed to the program; each also carries the test's controls and records.
    SimInputSources& inputSources() { return m_inputSources; }
    SimWorkspace& workspace() { return m_workspace; }
    SimEventTap& eventTap() { return m_eventTap; }
    SimEventPoster& eventPoster() { return m_eventPoster; }
    SimPasteboard& pasteboard() { return m_pasteboard; }
    SimAccessibility& accessibility() { return m_accessibility; }
    SimSecureInput& secureInput() { return m_secureInput; }
    SimPermissions& permissions() { return m_permissions; }
    SimPointer& pointer() { return m_pointer; }
    SimSound& sound() { return m_sound; }
    SimLoginItem& loginItem() { return m_loginItem; }
    /// A lock that excludes every other lock of this desktop holding the same name; each lock
    /// handed out names its holder "process <n>", counting from 1.
    std::unique_ptr<platform::InstanceLock> instanceLock();

    // Setting the scene.
    /// The enabled layouts by XKB name ("us", "il", "ru", "us(dvorak)"); the first is selected.
    void setLayouts(const std::vector<std::string>& names) { m_inputSources.setEnabled(names); }
    /// Starts app with an empty text field (in the background) and returns the field.
    SimTextField& launch(const SimApplication& app);
    /// The field of a launched application.
    SimTextField& field(const std::string& appID);
    /// The front application's field; null when nothing is in front.
    SimTextField* focusedField();

    // The user.
    /// Types text on the selected layout, character by character, with the key (and Shift or
    /// Option) that types it there; "\b" presses Backspace and "\n" Return.
    void type(std::string_view text);
    /// Presses one key with modifier flags (EventFlags).
    void press(std::uint16_t code, std::uint64_t flags = 0);
    /// Presses a key that reaches the field before the tap sees it, as a desktop whose tap only
    /// observes shows a key typed just before the program's hold took effect.
    void pressDelivered(std::uint16_t code, std::uint64_t flags = 0);
    /// Presses a key that the desktop takes at once but whose news reaches the tap late, as a key
    /// pressed while the program holds the keyboard whose record is still on its way: the tap sees
    /// it at the program's next barrier.
    void pressSlowly(std::uint16_t code, std::uint64_t flags = 0);
    void click(MouseButton button, platform::ScreenPoint at);
    /// Switches to a layout with the desktop's shortcut; the desktop's notice of it comes
    /// noticeAfter seconds later (a quick typist's next keys may come first).
    void switchLayout(std::string_view name, double noticeAfter = 0);
    /// Brings an application to the front.
    void activate(const std::string& appID);
    /// The accessibility service goes away or comes back: the permission and the reads follow it.
    void setAccessibilityReachable(bool reachable)
    {
        m_accessibility.reachable = reachable;
        m_permissions.accessibility = reachable;
    }

    /// What the user could not do (a character no key types on the layout). A test expects none.
    const std::vector<std::string>& faults() const { return m_faults; }

private:
    void keyDown(const platform::SyntheticKey& key);
    void deliverToField(const platform::SyntheticKey& key);
    /// Runs what the main queue holds for now, as the event loop would before the next input.
    void settle() { m_mainQueue.runUntilIdle(); }
    platform::KeyTable readingLayout(const SimTextField& field, const platform::SyntheticKey& key);
    const std::map<std::string, KeyStroke>& keysOfCurrentLayout();
    int currentHandle() const;

    VirtualMainQueue& m_mainQueue;
    SimInputSources m_inputSources;
    SimWorkspace m_workspace;
    SimEventTap m_eventTap;
    SimEventPoster m_eventPoster;
    SimPasteboard m_pasteboard;
    SimAccessibility m_accessibility;
    SimSecureInput m_secureInput;
    SimPermissions m_permissions;
    SimPointer m_pointer;
    SimSound m_sound;
    SimLoginItem m_loginItem;
    SimInstanceLock::Names m_lockedNames = std::make_shared<SimInstanceLock::Names::element_type>();
    int m_locksHandedOut = 0;

    std::map<std::string, std::unique_ptr<SimTextField>> m_fields;
    std::map<std::string, std::map<std::string, KeyStroke>> m_inverseMaps;  // by layout name
    // The layout keys last typed on, to notice a change at the next key and apply an
    // application's lag behind it.
    std::string m_layoutAtLastKey;
    platform::KeyTable m_tableAtLastKey;
    platform::KeyTable m_oldTable;
    int m_staleKeysLeft = 0;
    std::vector<std::string> m_faults;
};

}  // namespace kx::sim
