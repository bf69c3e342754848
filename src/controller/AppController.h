#pragma once
// The one object that runs the corrector: it owns the layouts, the word assembler, the oracles and
// the stores, taps the keyboard and rewrites what was typed on the wrong layout. The state of each
// mechanism lives in a part that owns it and offers a few verbs: UndoStack (the rewrites to take
// back), SuggestionSlot (ask mode's pending suggestion), TypingMemory (the words finished lately),
// CorrectionContext (the words after a correction), LayoutRepairs (what the repairs watch for),
// KeyLayoutFollower (the layout the keys are typed in), Actuation (a rewrite in progress and
// the keys held meanwhile) and StatusPresenter (the status item, the run state and the polls that
// start the corrector and keep both current). Every member is touched on the main thread only; the actuation and
// Accessibility work runs on the serial queues it is given and reports back through the main queue.
//
// The work is split by job: AppController.cpp (state and start-up), AppControllerTap.cpp (the
// event tap and key observation), AppControllerWords.cpp (word handling and the reach-back),
// AppControllerSpan.cpp (span correction and layout switching), AppControllerStatus.cpp (the status
// menu's content and what the accessibility service lets the corrector do; StatusPresenter shows
// it and keeps it current), AppControllerSuggestion.cpp (ask mode's prompt), AppControllerHotKey.cpp (the
// conversion hot key and the reach-back over the run just typed), AppControllerSelection.cpp (the
// selected text converted), AppControllerUndo.cpp (taking rewrites back), AppControllerDeletion.cpp
// (the Backspaces of a rewrite checked against the field, for text with combining marks),
// AppControllerRepairs.cpp (keys left in the old layout, a space lost after a paste) and
// AppControllerActions.cpp (what the menu and the settings window ask for: the window itself, the
// product site's pages, a layout, the report, the diagnostics, the test word and the feedback note).

#include "controller/AXCaret.h"
#include "controller/Actuation.h"
#include "controller/ActuationStrategy.h"
#include "controller/Actuator.h"
#include "controller/AppServices.h"
#include "controller/CorrectionContext.h"
#include "controller/KeyHold.h"
#include "controller/KeyLayoutFollower.h"
#include "controller/LanguageLoad.h"
#include "controller/LoadedLanguagesOracle.h"
#include "controller/LayoutRepairs.h"
#include "controller/PageOpener.h"
#include "controller/RuntimeStatus.h"
#include "controller/SettingsActions.h"
#include "controller/StatusMenu.h"
#include "controller/StatusPresenter.h"
#include "controller/SuggestionSlot.h"
#include "controller/TypingMemory.h"
#include "controller/UndoStack.h"
#include "engine/KeyboardLayoutInfo.h"
#include "engine/LayoutRegistry.h"
#include "engine/Script.h"
#include "engine/SystemSpellOracle.h"
#include "engine/WordAssembler.h"
#include "platform/DelayedBlocks.h"
#include "platform/EventTap.h"
#include "platform/KeyStroke.h"
#include "platform/Observable.h"
#include "platform/SecureInput.h"
#include "stores/BehaviorPrefs.h"
#include "stores/CorrectionRecord.h"
#include "stores/HistoryStore.h"
#include "stores/PolicyStore.h"
#include "stores/SoundPrefs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace kx {

class ExactDeletion;
class FrequencyOracle;
class LanguageOracle;

class AppController final : public SettingsActions {
public:
    using RecentWord = kx::RecentWord;

    using SpanCorrection = kx::SpanCorrection;

    using StaleArm = kx::StaleArm;
    using PendingOrphan = kx::PendingOrphan;
    using SuspectStale = kx::SuspectStale;
    using StaleExpectation = kx::StaleExpectation;
    using LastPaste = kx::LastPaste;

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

    explicit AppController(AppServices services);
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    void start();
    /// One look at the permissions; the corrector starts the first time both are granted.
    void evaluatePermissions() { m_status.evaluatePermissions(); }
    void installTap();
    /// Built on first use, then kept. Never waits for the start-up load: a language still loading
    /// is judged as one nobody can check.
    LanguageOracle& frequency();

    /// What the tap does with an event, in the order it is done; the first stage with a verdict
    /// ends the event's way.
    enum class TapStage {
        enableTapAgain,     // the desktop turned the tap off
        placeLayoutSwitch,  // where a switch fell among the keys
        passOwnEvent,       // the program's own keys
        promptClick,        // a click on the suggestion prompt belongs to the prompt
        mouseDown,          // a click elsewhere: the caret may have moved
        hotKey,             // Ctrl+Alt+K and Ctrl+Alt+Z; anything but a key-down ends here
        commandZ,           // the application's undo right after a rewrite takes it back
        countKey,           // a key of the user's
        passwordField,      // nothing typed into a password field is watched
        holdDuringRewrite,  // keys typed while a rewrite is typed wait for its end
        observeKey,         // the word assembler and the repairs see the key
    };
    /// The event tap's decision for one event.
    platform::TapVerdict handleTapEvent(const platform::TapEvent& event);
    /// Command-Z as the very next key after a correction, within 12 s, undoes it.
    bool canUndoWithCmdZ(const platform::TapEvent& event) const;
    /// An actuation starts: the user's keys are held from now until releaseHold() has replayed them.
    void beginActuating();
    /// The actuation ends: once the desktop has handed over every key it took, the held keys are
    /// typed again and the keyboard let go.
    void releaseHold();
    /// Queues the typing of a rewrite; after this a key that reached the application early can no
    /// longer be taken back ahead of it, and the hold's watchdog waits for the job's end.
    void postRewrite(Block job);
    /// Ends an actuation whose keys did not all go out: nothing is recorded and no success is
    /// shown. Main thread.
    void rewriteNotPosted(const std::string& what);
    /// Replaces stale, the end of before (the text read before the caret; none when it cannot be
    /// read), by text: Backspaces that remove exactly stale, even where one Backspace takes a
    /// whole character cluster, then text typed or pasted. done runs on the main thread with
    /// whether every event went out.
    /// alreadyPosted: Backspaces queued ahead for the end of stale (a key taken back).
    /// into: the window stale was typed in; once the focus has left it nothing more is posted.
    void replaceExactly(const std::optional<std::string>& before, const std::string& stale, const std::string& text,
                        ActuationStrategy strategy, std::function<void(bool)> done, int alreadyPosted = 0,
                        std::optional<platform::FocusWindow> into = std::nullopt);
    /// A key that reached the application before the hold: queue its removal so it can be held
    /// and typed again after the rewrite. False when it cannot be taken back.
    bool takeBackDeliveredKey(std::uint16_t code, std::uint64_t flags);
    /// Types held again in order; returns the keys left untyped because one began another rewrite.
    std::vector<HeldKey> replayHeldKeys(std::vector<HeldKey> held);
    /// A rewrite is being typed, or a paste has yet to give the user's pasteboard back: quitting
    /// now would cut a rewrite short or leave our text in the user's clipboard.
    bool busy() const { return m_actuation.active() || m_actuator.restorePending(); }
    void observeKey(std::uint16_t code, std::uint64_t flags, const std::optional<KeyboardLayoutInfo>& current);

    static bool looksSecret(const std::string& word);

    void performSpanCorrection(const SpanCorrection& span);
    /// Reads the text before the caret; rewrites span into the window into when it ends with what
    /// is to be deleted, else abandons it with a log line.
    void checkLandedThenRewrite(const SpanCorrection& span, int attempt, RewriteTiming timing,
                                std::optional<platform::FocusWindow> into);
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

    /// Whether the accessibility service answers; logs and shows the change when it stops or comes
    /// back. While it does not, password fields cannot be recognised and the corrector is off.
    bool noteAccessibility(bool reachable) { return m_status.noteAccessibility(reachable); }
    /// Whether what is typed in the front application may be written down (log, history): only
    /// where its password fields can be recognised. True with nothing in front.
    bool frontAppReadable() const;
    /// text as log lines may quote it: "…" where the front application cannot be read.
    std::string loggable(const std::string& text) const;

    void updateStatusGlyph() { m_status.showGlyph(); }
    void rebuildMenu() { m_status.rebuildMenu(); }
    void performMenuCommand(const MenuCommand& command);
    /// Refreshes the run state, then tells runtimeStatusChanged().
    void refreshRuntimeStatus() { m_status.refresh(); }
    /// The languages of the enabled layouts that have no usable word list, in layout order.
    std::vector<std::string> missingWordLists();
    /// Shows text in place of the status item's glyph for a moment.
    void flash(const std::string& text) { m_status.flash(text); }

    /// Opens the settings window on tab, with the run state refreshed first.
    void openWindow(SettingsTab tab);
    /// The menu's layout item: our own switch to the enabled layout with that id (nothing for an
    /// unknown id), watching for keys that still arrive in the old layout where the application lags.
    void selectLayoutFromMenu(const std::string& layoutID);
    /// Opens the product site's page for reporting a missed correction, with version and mode.
    void reportMiss();

    // What the settings window asks for.
    const RuntimeStatus& runtimeStatus() const override { return m_status.status(); }
    bool blockedForField() const override { return m_status.blockedForField(); }
    Signal<>& runtimeStatusChanged() override { return m_status.changed(); }
    std::string reportText() override;
    bool debugLogging() const override { return m_debugLogging; }
    void setDebugLogging(bool on) override { m_debugLogging = on; }
    std::string appVersion() const override;
    void checkForUpdates() override;
    void runDiagnostics() override;
    void openLogFile() override;
    void testCorrection() override;
    void showFeedback() override;

    /// Ask mode: holds span as the one pending suggestion and shows the prompt by the pointer.
    void armSuggestion(const SpanCorrection& span);
    /// Runs the pending suggestion when no key came since it was armed; true when it did.
    bool acceptSuggestionIfPending();
    /// The user clicked the prompt: the run just typed first, else the suggestion.
    void handlePromptClick();
    bool suggestionPending() const { return m_suggestion.pending(); }
    /// The words finished lately, for the reach-back and the hot key.
    const TypingMemory& typingMemory() const { return m_typing; }
    /// The words after the last correction, while they are still being collected.
    const CorrectionContext& correctionContext() const { return m_context; }

    /// Option-Command-K: the selection, else the run just typed, else the pending suggestion.
    /// firstLook: when the focused field was first looked for, while the application has yet to
    /// take in the chord's end; none for the chord itself.
    void handleConvertHotKey(std::optional<double> firstLook = std::nullopt);
    /// Rewrites the recent words that do not read as typed into the layout that reads best; true
    /// when a rewrite started, false (nothing changed) otherwise.
    bool swapRecentRun();

    bool hasAXSelection();
    std::optional<std::int64_t> axSelectedRangeLength();
    std::optional<std::string> selectedTextViaAX();
    /// Copies the selection through the pasteboard, which gets its contents back afterwards.
    std::optional<std::string> selectedTextViaCopy();
    /// Converts the selected text to the layout the spell checker likes best and switches to it.
    void convertSelection();

    /// Takes back the newest rewrite: deletes what it typed, types back what it replaced and
    /// switches back to the layout the text was typed on.
    void performUndo();
    const UndoStack& undoStack() const { return m_undoStack; }

    /// The user switched layouts at time at: the word in progress ends, its first keys may be an
    /// orphan.
    void userSwitchedLayout(double at);
    /// Takes the input source a key of the user's was typed in (-1: not told), before the key is
    /// observed.
    void followKeyLayout(int sourceHandle);
    /// The user switched layouts at time at with 1 to 4 keys of a word typed: they may be an orphan.
    void captureOrphanAtLayoutChange(double at);
    /// Replaces orphan.text + word on screen by replacement, unless the screen already reads right.
    void fixOrphan(const PendingOrphan& orphan, const std::string& word, const std::string& replacement,
                   const WordAssembler::Terminator& terminator, ActuationStrategy strategy, const std::string& frontID,
                   const KeyboardLayoutInfo& layout);
    /// Retypes typed with a space before it when the application glued it to the paste.
    void checkSpaceAfterPaste(const std::string& typed, const WordAssembler::Terminator& terminator,
                              ActuationStrategy strategy, const std::string& frontID, const KeyboardLayoutInfo& layout,
                              const LastPaste& paste);

    // The stores and collaborators the controller owns, for the windows it opens and the tests.
    LayoutRegistry& registry() { return m_registry; }
    const WordAssembler& assembler() const { return m_assembler; }
    PolicyStore& policy() { return m_policy; }
    HistoryStore& history() { return m_history; }
    PageOpener& pages() { return m_pages; }
    BehaviorPrefs& behavior() { return m_behavior; }

    /// A rewrite (or an undo) is being typed: the user's keys are held meanwhile.
    bool actuating() const { return m_actuation.active(); }
    /// The user's keys held during the current rewrite.
    const KeyHold& hold() const { return m_actuation.hold(); }
    /// The keys observed as typed (the count the Command-Z gate and the suggestion compare).
    int keyGeneration() const { return keyGen; }
    /// Every key-down the tap handed on or held, the program's own excepted.
    int keysSeenCount() const { return keysSeen; }
    /// The corrector is up: both permissions were granted once.
    bool hasStarted() const { return m_status.started(); }
    /// What the repairs are watching for.
    const LayoutRepairs& repairs() const { return m_repairs; }

private:
    LayoutRegistry m_registry;
    WordAssembler m_assembler;
    SystemSpellOracle m_speller;
    PolicyStore m_policy;
    HistoryStore m_history;
    /// Opens the product's pages and the log, and says so when they cannot be opened; the
    /// setup window and the walkthrough use it too.
    PageOpener m_pages;
    std::vector<std::unique_ptr<Subscription>> cancellables;
    platform::EventTap* tap = nullptr;  // set once the tap is installed
    static constexpr double correctionDelay = 0.04;
    SerialQueue& actuationQueue;
    Actuation m_actuation;
    bool sawFirstKey = false;
    int keysSeen = 0;
    /// A key went to a field nobody had looked at yet, and the word it belongs to has not ended:
    /// none of that word is watched, even once the field is known to be no password field.
    bool m_unknownFieldWord = false;
    SoundPrefs m_sound;
    BehaviorPrefs m_behavior;
    int keyGen = 0;
    /// The status item, the run state and the polls behind them.
    StatusPresenter m_status;

    /// A rewrite ends this long after its posting, so that the application has taken our keys
    /// before the held ones follow.
    static constexpr double actuationTail = 0.12;
    /// The wait after a rewrite posted with strategy: none where the desktop acknowledged our keys
    /// (it delivers in order, so the held keys land after them); a paste keeps it, since the
    /// application still has to read the pasteboard.
    double tailAfter(ActuationStrategy strategy) const;
    /// A repair waits this long after word handling chose it.
    static constexpr double repairDelay = 0.08;
    /// An application gets this long to answer a read of its text.
    static constexpr double screenReadTimeout = 0.25;

    /// One stage of handleTapEvent: its verdict, or none to go on to the next stage.
    std::optional<platform::TapVerdict> runTapStage(TapStage stage, const platform::TapEvent& event);
    /// Why what was being typed is no longer before the caret, or may not be watched.
    enum class TypingBreak {
        discontinuity,  // the keys moved the caret or edited past the word (arrows, a shortcut)
        appSwitch,      // another application came to the front
        mouseDown,      // a click may have moved the caret
        secureInput,    // a password field, or nothing can tell one
    };
    /// Forgets the typing state that reason makes stale; the one list of what each break clears.
    void forgetTyping(TypingBreak reason);
    /// The password-field stage: a key into a field that is unknown yet, or into a password field,
    /// passes unwatched; so do the rest of a word begun while the field was unknown.
    std::optional<platform::TapVerdict> screenField(const platform::TapEvent& event);
    /// The answer of a look-up that left the field unknown has come back.
    void focusAnswered(platform::SecureInput::Field field);
    /// Whether the assembler would take the key as the end of a word or a break in the typing.
    bool endsWord(const platform::TapEvent& event) const;
    /// Schedules block on the main queue after seconds; dropped with the controller.
    void later(double seconds, std::function<void()> block);
    /// Only when a suggestion is pending now: drops it and hides the prompt once the current
    /// event has been handled.
    void dropPendingSuggestionLater();
    /// Drops a pending suggestion at once and hides the prompt; nothing when none is pending.
    void dropPendingSuggestion();
    /// Runs block on the main queue after what is queued; nothing once the controller is gone.
    void soon(std::function<void()> block);
    /// f, made to do nothing once the controller is gone: for what the worker queues, the caret
    /// reader, the views and the main queue may call back after that.
    template <class F>
    auto whileAlive(F f) const
    {
        return [alive = std::weak_ptr<const char>(m_life), f = std::move(f)](auto&&... args) {
            if (alive.lock())
                f(std::forward<decltype(args)>(args)...);
        };
    }
    void debugLine(const std::string& line) const;
    std::string frontBundleID() const;
    /// Posts backspaces, reads what the field shows and goes on as plan says, until text can go in.
    void followDeletion(const std::shared_ptr<ExactDeletion>& plan, int backspaces, const std::string& text,
                        ActuationStrategy strategy, std::function<void(bool)> done,
                        std::optional<platform::FocusWindow> into);
    void checkDeletion(const std::shared_ptr<ExactDeletion>& plan, const std::string& text, ActuationStrategy strategy,
                       std::function<void(bool)> done, std::optional<platform::FocusWindow> into);

    void handleWord(const std::vector<KeyStroke>& keys, const WordAssembler::Terminator& terminator);
    /// Whether words may be judged in language now; logs once for a language still loading.
    bool languageLoaded(const std::string& language);
    std::vector<RecentWord> reachBack(const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target);
    void extendRetroPastValidWords(std::vector<RecentWord>& run, const std::string& corrected,
                                   const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target);
    bool passesTargetWordTest(const std::string& text, std::span<const KeyStroke> keys,
                              const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target);
    void completeSpan(const SpanCorrection& span);
    /// Word handling's last step for a word that needs no rewrite of its own: the repairs.
    void repairAfterWord(const std::vector<KeyStroke>& keys, const std::string& typed,
                         const WordAssembler::Terminator& terminator, const std::optional<PendingOrphan>& orphan,
                         const std::optional<SuspectStale>& suspect, ActuationStrategy strategy,
                         const std::string& frontID, const KeyboardLayoutInfo& current);
    /// Schedules fixOrphan for a word whose rewrite is planned, holding the user's keys meanwhile.
    void scheduleOrphanFix(const PendingOrphan& orphan, const std::string& word, const std::string& replacement,
                           const WordAssembler::Terminator& terminator, ActuationStrategy strategy,
                           const std::string& frontID, const KeyboardLayoutInfo& layout);
    /// Span corrections and selection conversions keep the newest undoStackLimit entries; the
    /// repairs push without trimming.
    void pushUndo(LastCorrection entry, bool trim) { m_undoStack.push(std::move(entry), trim, keyGen); }
    /// Adds a history record of a rewrite in frontID and returns its id.
    Uuid recordCorrection(const std::string& frontID, const std::string& original, const std::string& corrected,
                          const std::string& fromLayout, const std::string& toLayout, CorrectionKind kind,
                          int retroCount);
    /// For a moment after we selected a layout, the application may still read the first keys of
    /// the next words through the old one.
    void expectStaleKeys(const KeyboardLayoutInfo& old, const KeyboardLayoutInfo& selected, StaleArm armedBy)
    {
        m_repairs.expectStaleKeys(old, selected, armedBy, m_services.main->now());
    }
    /// The front application's bundle identifier; none when there is none.
    std::optional<std::string> frontApplicationID() const;

    /// Adds a word and its terminator, typed on the span's own layout, to the span's rewrite:
    /// replacement and what the terminator's key types on target take their place.
    static void addToSpan(SpanCorrection& span, const std::string& typed, const std::string& replacement,
                          const WordAssembler::Terminator& terminator, const KeyboardLayoutInfo& target);
    /// What a terminator typed on the word's own layout, and what its key types on target.
    static std::string terminatorText(const WordAssembler::Terminator& terminator);
    static std::string terminatorTextOn(const WordAssembler::Terminator& terminator, const KeyboardLayoutInfo& target);
    /// The last count characters of s.
    static std::string lastCharacters(const std::string& s, std::size_t count);
    /// ["a", "b"], quotes and backslashes escaped: how the log lists layouts.
    static std::string arrayNotation(const std::vector<std::string>& items);
    static const char* boolText(bool value);
    /// Brings the corrector up, once both permissions are granted.
    void startCorrector();
    /// What the status menu shows now.
    StatusMenu currentMenu();
    /// The "enabled layouts = …" line: each layout with what the oracles know of its language.
    void logEnabledLayouts(const std::vector<std::pair<std::string, std::string>>& namesAndLanguages);
    /// The holder part of the diagnostics line: "-" while Secure Input is off.
    std::string secureInputHolderText() const;

    UndoStack m_undoStack;
    SuggestionSlot m_suggestion;
    TypingMemory m_typing;
    CorrectionContext m_context;
    LayoutRepairs m_repairs;
    KeyLayoutFollower m_keyLayout;
    /// The session log's debug lines are written; the General tab's "Verbose logging" switch.
    bool m_debugLogging = false;
    AppServices m_services;
    std::unique_ptr<platform::InputSources::Subscription> m_layoutObserver;
    Actuator m_actuator;
    AXCaret m_caret;
    std::unique_ptr<FrequencyOracle> m_frequency;
    LanguageLoad m_languageLoad;
    std::unique_ptr<LoadedLanguagesOracle> m_loadedFrequency;
    // The languages found still loading when a word needed them, each logged once.
    std::set<std::string> m_languagesLoadingNoted;
    /// The blocks of later() and soon().
    DelayedBlocks m_delayed{*m_services.main};
    std::shared_ptr<char> m_life = std::make_shared<char>(0);
};

}  // namespace kx
