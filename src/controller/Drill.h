#pragma once
// The typing drill: types test sentences into a field of its own with the keys of one layout while
// the other layout is selected — the mistake the corrector exists for — and reports what came out.
// Its keys are posted unmarked, so the corrector takes them for the user's typing. It reaches the
// corrector only through those keys, the layout selection and the history store.
//
// A run is a chain of steps on the main queue; every pause is a delayed block. Main thread only.

#include "controller/LaunchOptions.h"
#include "engine/KeyboardLayoutInfo.h"
#include "engine/LayoutRegistry.h"
#include "platform/EventPoster.h"
#include "platform/InputSources.h"
#include "platform/KeyStroke.h"
#include "platform/MainQueue.h"
#include "platform/Observable.h"
#include "stores/CorrectionRecord.h"
#include "stores/HistoryStore.h"
#include "stores/Uuid.h"

#include <array>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class Drill {
public:
    using Pace = DrillPace;
    static constexpr std::array<Pace, 3> allPaces = {Pace::relaxed, Pace::fluent, Pace::hostile};

    /// "relaxed", "fluent", "hostile".
    static std::string_view rawValue(Pace pace);
    static std::optional<Pace> paceFromRaw(std::string_view raw);
    /// The raw value with its first letter capitalised.
    static std::string label(Pace pace);
    static std::string_view description(Pace pace);
    /// Seconds after each character key and after each space.
    static double characterPause(Pace pace);
    static double spacePause(Pace pace);

    /// One correction the history recorded while a sentence was typed.
    struct Fire {
        std::string trigger;  // the last word of what was replaced
        int sweptBack = 0;    // earlier words the correction reached back over
        std::string result;
        CorrectionKind kind = CorrectionKind::auto_;

        /// 'kh' +2 back (retro) → לי
        std::string line() const;
        bool operator==(const Fire&) const = default;
    };

    struct Outcome {
        Uuid id = Uuid::make();
        std::string group;
        std::string intended;
        std::string got;  // the field's text once settled, trimmed
        std::vector<Fire> fired;

        bool passed() const;
    };

    struct PlanEntry {
        std::string group;
        std::string text;
        KeyboardLayoutInfo typeOn;    // selected while the sentence is typed
        KeyboardLayoutInfo keysFrom;  // whose keys are pressed
    };

    /// The text field the drill types into, as the view gives it.
    class Field {
    public:
        virtual ~Field() = default;
        virtual std::string text() const = 0;
        virtual void setText(const std::string& text) = 0;
        /// Brings the field's window to the front and gives the field the keyboard focus.
        virtual void focus() = 0;
    };

    struct Services {
        MainQueue* main = nullptr;
        platform::EventPoster* poster = nullptr;
        platform::InputSources* inputSources = nullptr;
        /// Optional: without it nothing is seen to fire.
        const HistoryStore* history = nullptr;
    };

    static const std::vector<std::string> hebrew;
    static const std::vector<std::string> hebrewPunctKeys;
    static const std::vector<std::string> hebrewAcronyms;
    static const std::vector<std::string> english;
    static const std::vector<std::string> englishCaps;
    static const std::vector<std::string> englishApostrophes;

    explicit Drill(Services services);
    ~Drill();
    Drill(const Drill&) = delete;
    Drill& operator=(const Drill&) = delete;

    bool running() const { return m_running; }
    const std::string& current() const { return m_current; }
    int done() const { return m_done; }
    /// Newest first.
    const std::vector<Outcome>& outcomes() const { return m_outcomes; }
    Pace pace() const { return m_pace; }
    /// Takes effect at the next pause.
    void setPace(Pace pace);
    int passed() const;

    /// The field to type into; null when there is none. The caller keeps it alive while it is set.
    void setField(Field* field) { m_field = field; }

    /// Begins a run; does nothing while a run is under way or winding down, without a field, an
    /// English layout or a second layout.
    void start(const LayoutRegistry& registry);
    /// Cancels the run and writes the report at once. The word being typed is finished without
    /// pauses; the sentence is recorded only when its last word had begun.
    void stop();

    /// The sentences of a run: each table shuffled, the groups in their fixed order.
    static std::vector<PlanEntry> plan(const KeyboardLayoutInfo& english, const KeyboardLayoutInfo& other);

    /// The report as of now; empty when nothing was recorded.
    std::string reportText() const;
    /// The report of outcomes (newest first) at pace, headed with the time when.
    static std::string report(const std::vector<Outcome>& outcomes, Pace pace, std::time_t when);
    /// Replaces the report file and logs the summary; nothing when nothing was recorded.
    void writeReport() const;

    /// After every change of running, current, done, outcomes or pace.
    Signal<> changed;

private:
    struct Run;
    /// What identifies the history's state: its size and newest record. The size alone stops
    /// moving at the store's cap.
    struct HistoryMark {
        std::size_t count = 0;
        std::optional<Uuid> newest;
        bool operator==(const HistoryMark&) const = default;
    };

    HistoryMark historyMark() const;
    std::vector<Fire> firesSince(const HistoryMark& before) const;
    std::string fieldText() const;

    void pause(const std::shared_ptr<Run>& run, double seconds, void (Drill::*next)(const std::shared_ptr<Run>&));
    void nextSentence(const std::shared_ptr<Run>& run);
    void clearField(const std::shared_ptr<Run>& run);
    void selectLayout(const std::shared_ptr<Run>& run);
    void beginTyping(const std::shared_ptr<Run>& run);
    void typeWord(const std::shared_ptr<Run>& run);
    void typeCharacter(const std::shared_ptr<Run>& run);
    void record(const std::shared_ptr<Run>& run);
    void finish(const std::shared_ptr<Run>& run);
    void waitUntilIdle(const std::shared_ptr<Run>& run, void (Drill::*then)(const std::shared_ptr<Run>&));
    void poll(const std::shared_ptr<Run>& run);
    /// Posts one key down and up, unmarked; the up only when the down was posted.
    void postKey(KeyStroke key);

    Services m_services;
    bool m_running = false;
    std::string m_current;
    int m_done = 0;
    std::vector<Outcome> m_outcomes;
    Pace m_pace = Pace::relaxed;
    Field* m_field = nullptr;
    std::shared_ptr<Run> m_run;
};

}  // namespace kx
