#pragma once
// Everything the controller reaches outside itself, handed in at creation: the desktop's services
// (X11 in the application, the simulated desktop in tests), the queues, and the views of the
// status item, the prompt and the windows. Every pointer is required unless marked optional, and
// everything must outlive the controller.

#include "controller/LaunchOptions.h"
#include "platform/Accessibility.h"
#include "platform/Defaults.h"
#include "platform/EventPoster.h"
#include "platform/EventTap.h"
#include "platform/InputSources.h"
#include "platform/LoginItem.h"
#include "platform/MainQueue.h"
#include "platform/Pasteboard.h"
#include "platform/Permissions.h"
#include "platform/Pointer.h"
#include "platform/SecureInput.h"
#include "platform/SerialQueue.h"
#include "platform/Sound.h"
#include "platform/SpellChecker.h"
#include "platform/Workspace.h"

#include <functional>
#include <string>

namespace kx {

class AlertView;
class SettingsWindowPresenter;
class StatusItemView;
class SuggestionPromptView;
class WindowPresenter;

struct AppServices {
    MainQueue* main = nullptr;
    Defaults* defaults = nullptr;
    platform::InputSources* inputSources = nullptr;
    platform::EventTap* eventTap = nullptr;
    platform::EventPoster* eventPoster = nullptr;
    platform::Pasteboard* pasteboard = nullptr;
    platform::Accessibility* accessibility = nullptr;
    platform::SecureInput* secureInput = nullptr;
    platform::Permissions* permissions = nullptr;
    /// Where the suggestion prompt opens.
    platform::Pointer* pointer = nullptr;
    platform::Workspace* workspace = nullptr;
    platform::LoginItem* loginItem = nullptr;
    platform::Sound* sound = nullptr;
    platform::SpellChecker* spellChecker = nullptr;

    /// Rewrites are typed here, one at a time ("app.kestrelix.actuation").
    SerialQueue* actuationQueue = nullptr;
    /// Accessibility reads run here ("app.kestrelix.ax").
    SerialQueue* axQueue = nullptr;
    /// The languages of the enabled layouts load here, off the main thread, at start-up.
    SerialQueue* warmUpQueue = nullptr;
    /// Optional: runs a block on a thread of its own that is never joined, for the loads that may
    /// never end (a dictionary whose personal word list is a FIFO). Without it the block runs at
    /// once on the caller.
    std::function<void(Block)> detach;
    /// The actuator's pauses between events.
    Sleeper sleeper;

    /// Optional: without it the status item's text operations do nothing.
    StatusItemView* statusItem = nullptr;
    SuggestionPromptView* suggestionPrompt = nullptr;
    WindowPresenter* windows = nullptr;
    /// Optional: without it the settings window does not open.
    SettingsWindowPresenter* settingsWindow = nullptr;
    /// Optional: without it the feedback note is not shown.
    AlertView* alerts = nullptr;

    /// The program's version for the launch line and the product site's pages; empty reads as
    /// "dev" in the log and the report, "0" elsewhere.
    std::string version;
    /// Where the program runs from, for the permissions line.
    std::string bundlePath;
    /// What the command line asked of the application.
    LaunchOptions launchOptions;
};

}  // namespace kx
