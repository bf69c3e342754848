#pragma once
// The one object that runs the corrector: it owns the layouts, the word assembler, the oracles, the
// stores and all correction state, taps the keyboard and rewrites what was typed on the wrong
// layout. Every member is touched on the main thread only; the actuation and Accessibility work
// runs on the serial queues it is given and reports back through the main queue.
//
// The work is split by job: AppController.cpp (state and start-up), AppControllerTap.cpp (the
// event tap and key observation), AppControllerWords.cpp (word handling and the reach-back),
// AppControllerSpan.cpp (span correction and layout switching), AppControllerStatus.cpp (the status
// item's text).

#include "controller/AXCaret.h"
#include "controller/ActuationStrategy.h"
#include "controller/Actuator.h"
#include "controller/AppServices.h"
#include "controller/KeyHold.h"
#include "controller/RuntimeStatus.h"
#include "engine/KeyStroke.h"
#include "engine/KeyboardLayoutInfo.h"
#include "engine/LayoutRegistry.h"
#include "engine/Script.h"
#include "engine/SystemSpellOracle.h"
#include "engine/WordAssembler.h"
#include "platform/EventTap.h"
#include "platform/Observable.h"
#include "stores/BehaviorPrefs.h"
#include "stores/CorrectionRecord.h"
#include "stores/HistoryStore.h"
#include "stores/PolicyStore.h"
#include "stores/SoundPrefs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kx {

class FrequencyOracle;
class LanguageOracle;

class AppController {
public:
    /// A finished word kept for the reach-back.
    struct RecentWord {
        std::vector<KeyStroke> keys;
        WordAssembler::Terminator terminator;
        std::string typed;     // the word as the current layout typed it
        std::string layoutID;  // the layout current when the word ended
        double at = 0;         // main-queue seconds
    };

    /// One planned rewrite of the text just before the caret.
    struct SpanCorrection {
        std::string logLine;
        std::vector<std::string> contextBefore;  // up to 3 words before the run, oldest first
        KeyboardLayoutInfo from;
        KeyboardLayoutInfo target;
        ActuationStrategy strategy = ActuationStrategy::synthetic;
        std::string frontID;
        int deleteCount = 0;  // Unicode scalars of everything removed
        std::string insertText;
        std::string originalText;
        int retroCount = 0;
        std::string decisionOriginal;
        std::string decisionCorrected;
    };

    /// The words typed after the last correction, completing its history record.
    struct PendingContext {
        std::string label;
        std::vector<std::string> after;
        std::optional<Uuid> recordID;
    };

    struct PendingSuggestion {
        SpanCorrection span;
        int keyGen = 0;
    };

    /// One undoable rewrite.
    struct LastCorrection {
        std::string insertedText;
        std::string originalText;
        KeyboardLayoutInfo previousLayout;
        ActuationStrategy strategy = ActuationStrategy::synthetic;
        double at = 0;
    };

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

    /// What the screen shows before the caret after a rewrite.
    struct ScreenVerdict {
        enum class Kind { undecided, correct, stale };
        Kind kind = Kind::undecided;
        std::optional<std::string> text;  // undecided only: the text read, trailing blanks removed

        static ScreenVerdict undecided(std::optional<std::string> read) { return {Kind::undecided, std::move(read)}; }
        static ScreenVerdict correct() { return {Kind::correct, std::nullopt}; }
        static ScreenVerdict stale() { return {Kind::stale, std::nullopt}; }
        bool operator==(const ScreenVerdict&) const = default;
    };

    /// The last paste that landed.
    struct LastPaste {
        std::string text;  // trailing blanks removed
        std::string app;
        double at = 0;
        bool repair = false;
    };

    explicit AppController(AppServices services);
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    /// The process-wide instance the application set up; none before that.
    static AppController* shared();
    static void setShared(AppController* controller);

    void start();
    void evaluatePermissions();
    void installTap();
    /// Built on first use, then kept.
    LanguageOracle& frequency();

    /// The event tap's decision for one event.
    platform::TapVerdict handleTapEvent(const platform::TapEvent& event);
    /// Command-Z as the very next key after a correction, within 12 s, undoes it.
    bool canUndoWithCmdZ(const platform::TapEvent& event) const;
    void armHoldWatchdog();
    /// Every change of isActuating goes through here, so that a desktop whose tap sees keys only
    /// after delivery can hold the user's keys back while a rewrite is typed.
    void setActuating(bool on);
    void replayHeldKeys();
    void observeKey(std::uint16_t code, std::uint64_t flags, const std::optional<KeyboardLayoutInfo>& current);

    static bool looksSecret(const std::string& word);
    void noteWordForContext(const std::string& word);
    void pushHistory(RecentWord word);
    void flushContext();

    void performSpanCorrection(const SpanCorrection& span);
    void logCorrection(const std::string& line, const std::vector<std::string>& before);
    void switchNow(const KeyboardLayoutInfo& target, const KeyboardLayoutInfo& from, const std::string& app);
    void switchLayoutOurselves(const KeyboardLayoutInfo& layout);
    void verifySwitch(const KeyboardLayoutInfo& target, const std::string& app);
    void finishActuation(double after, std::optional<std::string> verifying, ActuationStrategy strategy,
                         const std::string& app, bool isRepair);
    void verifyPasteLanded(const std::string& text, const std::string& app, bool isRepair);
    void judgeScreen(const std::string& correct, const std::string& stale, int attempt,
                     std::function<void(ScreenVerdict)> then);
    /// s without trailing U+0020 characters (tabs and newlines stay).
    static std::string trimTrailingSpaces(const std::string& s);

    void updateStatusGlyph();
    void flash(const std::string& text);

    // Fields, in the order the rest of the controller knows them.
    LayoutRegistry registry;
    WordAssembler assembler;
    SystemSpellOracle speller;
    PolicyStore policy;
    HistoryStore history;
    SuggestionPromptView& suggestionPrompt;
    std::optional<PendingSuggestion> pendingSuggestion;
    std::vector<std::unique_ptr<Subscription>> cancellables;
    StatusItemView* statusItem = nullptr;
    platform::EventTap* tap = nullptr;  // set once the tap is installed
    std::vector<LastCorrection> undoStack;
    static constexpr std::size_t undoStackLimit = 10;
    int keyGenAtLastCorrection = -1;
    bool isActuating = false;
    std::optional<PendingOrphan> pendingOrphan;
    static constexpr int orphanMaxLength = 4;
    std::optional<KeyboardLayoutInfo> lastKnownLayout;
    std::vector<RecentWord> recentWords;
    static constexpr std::size_t historyLimit = 12;
    static constexpr std::size_t retroMaxWords = 12;
    std::optional<PendingContext> pendingContext;
    int contextGen = 0;
    static constexpr std::size_t contextWindow = 3;
    static constexpr double correctionDelay = 0.04;
    SerialQueue& actuationQueue;
    KeyHold heldKeys;
    bool ownSwitchPending = false;
    int ownSwitchGen = 0;
    std::optional<StaleExpectation> staleKeyLayouts;
    std::optional<KeyboardLayoutInfo> lastSwitchedFrom;
    std::optional<SuspectStale> suspectStale;
    std::optional<LastPaste> lastPaste;
    std::unique_ptr<TimerHandle> permTimer;
    std::unique_ptr<TimerHandle> statusTimer;
    bool didPromptPermissions = false;
    bool started = false;
    bool sawFirstKey = false;
    int keysSeen = 0;
    bool secureInputActive = false;
    RuntimeStatus status;
    std::string secureInputHolder;
    SoundPrefs sound;
    BehaviorPrefs behavior;
    bool debugLogging = false;
    int keyGen = 0;
    std::string lastPermLog;
    struct LiveHolder {
        std::int32_t pid = 0;
        std::string name;
    };
    std::optional<LiveHolder> lastLiveSecureHolder;

private:
    /// Schedules block on the main queue after seconds; it does nothing once the controller is gone.
    void later(double seconds, std::function<void()> block);
    /// Only when pendingSuggestion is set now: drops it and hides the prompt once the current
    /// event has been handled.
    void dropPendingSuggestionLater();
    /// Drops a pending suggestion at once and hides the prompt; nothing when none is pending.
    void dropPendingSuggestion();
    void debugLine(const std::string& line) const;
    std::string frontBundleID() const;

    void handleWord(const std::vector<KeyStroke>& keys, const WordAssembler::Terminator& terminator);
    std::vector<RecentWord> reachBack(const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target);
    void extendRetroPastValidWords(std::vector<RecentWord>& run, const std::string& corrected,
                                   const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target);
    bool passesTargetWordTest(const std::string& text, std::span<const KeyStroke> keys,
                              const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target);
    void completeSpan(const SpanCorrection& span);

    AppServices m_services;
    std::unique_ptr<platform::InputSources::Subscription> m_layoutObserver;
    Actuator m_actuator;
    AXCaret m_caret;
    std::unique_ptr<FrequencyOracle> m_frequency;
    std::shared_ptr<char> m_life = std::make_shared<char>(0);
};

}  // namespace kx
