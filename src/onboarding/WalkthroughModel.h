#pragma once
// The walkthrough's scene: a fixed script of small state changes, played one a tick, that shows
// what the corrector does in each mode, that it leaves sensitive fields alone, and which two
// permissions it needs; it ends with a typed send-off. Nothing here touches the real keyboard or
// layouts. Timers run on the main queue and belong to the model: a new stage drops the previous
// stage's ticker and loop restart, so none of them plays on it. Main thread only.

#include "platform/MainQueue.h"
#include "platform/Observable.h"
#include "platform/Permissions.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kx {

enum class WalkStep { automatic = 0, ask = 1, manual = 2, secure = 3, permissions = 4 };
inline constexpr std::array<WalkStep, 5> allWalkSteps = {WalkStep::automatic, WalkStep::ask, WalkStep::manual,
                                                         WalkStep::secure, WalkStep::permissions};

class WalkthroughModel {
public:
    /// What the view draws.
    struct State {
        WalkStep step = WalkStep::automatic;
        bool finished = false;  // the send-off has begun
        std::vector<std::string> words;
        std::string partial;  // the word being typed
        bool rightToLeft = false;
        bool showCaret = true;
        bool selected = false;
        std::string language = "עב";
        bool languageLifted = false;
        bool showCapsule = false;
        bool capsulePressed = false;
        bool keysLit = false;
        int passwordDots = 0;
        bool accessibility = false;
        bool inputMonitoring = false;
    };

    static constexpr double tick = 0.095;
    static constexpr double pollInterval = 0.8;
    static constexpr double liftDuration = 0.3;

    /// main and permissions must outlive the model.
    WalkthroughModel(MainQueue& main, platform::Permissions& permissions);

    const State& state() const { return m_state; }
    /// The finished words, then the partial one when there is one.
    std::vector<std::string> lineWords() const;
    /// Keys do not reach the corrector: a sensitive field, or a permission missing.
    bool wireCut() const;

    /// The first step, permissions read again, polling on, its script playing.
    void restart();
    /// Shows step and plays its script from an empty stage; nothing once the send-off has begun.
    void go(WalkStep step);
    /// Forward: the next step; on the last one the send-off when both permissions are granted,
    /// else the end. After the send-off, the end.
    void next();
    /// Stops the script and the permission poll.
    void stop();

    /// Called when the walkthrough is over.
    std::function<void()> onFinish;
    /// After every change of the state.
    Signal<> changed;

private:
    using Op = std::function<void()>;

    void run(std::vector<Op> ops, bool loop, double pause);
    void fire(bool loop, double pause);
    void clearStage();
    void startPolling();
    void readPermissions();
    void playStep();
    /// An op that works on the model.
    Op op(std::function<void(WalkthroughModel&)> body);
    void typing(const std::string& text, std::vector<Op>& ops);
    void space(std::vector<Op>& ops);
    void waits(int count, std::vector<Op>& ops);
    void flipLanguage(const std::string& language);
    void finish();

    void runAutomatic();
    void runAsk();
    void runManual();
    void runSecure();
    void runPermissions();
    void runSendOff();

    MainQueue& m_main;
    platform::Permissions& m_permissions;
    State m_state;
    std::unique_ptr<TimerHandle> m_ticker;
    std::unique_ptr<TimerHandle> m_poller;
    std::unique_ptr<TimerHandle> m_loopRestart;
    std::unique_ptr<TimerHandle> m_lift;
    std::vector<Op> m_ops;
    std::size_t m_opIndex = 0;
};

}  // namespace kx
