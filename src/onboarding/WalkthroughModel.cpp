#include "onboarding/WalkthroughModel.h"

#include "platform/Text.h"

#include <utility>

namespace kx {

namespace {

using platform::Permission;

// The keys of "want" and "to" pressed with the Hebrew layout selected, and what they become.
const std::array<std::pair<std::string, std::string>, 2> autoWrong = {{{"׳שמא", "want"}, {"אם", "to"}}};
const std::array<std::string, 2> autoAfter = {"go", "home"};
// The keys of a Hebrew word typed with the English layout selected, and the word.
const std::pair<std::string, std::string> askPair = {"kkf,", "ללכת"};
const std::pair<std::string, std::string> manualPair = {"vch,v", "הביתה"};
// The Hebrew layout's output of the keys that spell the send-off's three English words.
const std::string sendOffTyped = "טםורק שךך דקא";
const std::string sendOff = "You're all set!";

}  // namespace

WalkthroughModel::WalkthroughModel(MainQueue& main, platform::Permissions& permissions)
    : m_main(main), m_permissions(permissions)
{}

std::vector<std::string> WalkthroughModel::lineWords() const
{
    std::vector<std::string> line = m_state.words;
    if (!m_state.partial.empty())
        line.push_back(m_state.partial);
    return line;
}

bool WalkthroughModel::wireCut() const
{
    return m_state.step == WalkStep::secure ||
           (m_state.step == WalkStep::permissions && !(m_state.accessibility && m_state.inputMonitoring));
}

void WalkthroughModel::restart()
{
    m_state.finished = false;
    m_state.step = WalkStep::automatic;
    readPermissions();
    startPolling();
    clearStage();
    playStep();
    changed.notify();
}

void WalkthroughModel::go(WalkStep step)
{
    if (m_state.finished)
        return;
    m_state.step = step;
    clearStage();
    playStep();
    changed.notify();
}

void WalkthroughModel::next()
{
    if (m_state.finished) {
        finish();
        return;
    }
    if (m_state.step != WalkStep::permissions) {
        go(static_cast<WalkStep>(static_cast<int>(m_state.step) + 1));
        return;
    }
    if (m_state.accessibility && m_state.inputMonitoring) {
        runSendOff();
        changed.notify();
        return;
    }
    finish();
}

void WalkthroughModel::stop()
{
    // A loop restart still pending would otherwise start the script again in a closed window.
    m_loopRestart.reset();
    m_ticker.reset();
    m_poller.reset();
}

void WalkthroughModel::finish()
{
    if (onFinish)
        onFinish();
}

void WalkthroughModel::run(std::vector<Op> ops, bool loop, double pause)
{
    m_ops = std::move(ops);
    m_opIndex = 0;
    m_ticker = m_main.timer(tick, true, [this, loop, pause] { fire(loop, pause); });
}

void WalkthroughModel::fire(bool loop, double pause)
{
    if (m_opIndex < m_ops.size()) {
        // The op may clear the stage, which empties m_ops; keep it alive while it runs.
        const Op op = m_ops[m_opIndex];
        op();
        m_opIndex += 1;
        changed.notify();
        return;
    }
    m_ticker.reset();
    if (!loop)
        return;
    m_loopRestart = m_main.after(pause, [this] {
        if (m_state.finished)
            return;
        clearStage();
        playStep();
        changed.notify();
    });
}

void WalkthroughModel::clearStage()
{
    m_loopRestart.reset();
    m_ticker.reset();
    m_ops.clear();
    m_opIndex = 0;
    m_state.words.clear();
    m_state.partial.clear();
    m_state.rightToLeft = false;
    m_state.showCaret = true;
    m_state.selected = false;
    m_state.showCapsule = false;
    m_state.capsulePressed = false;
    m_state.keysLit = false;
    m_state.passwordDots = 0;
    m_state.languageLifted = false;
}

void WalkthroughModel::startPolling()
{
    m_poller = m_main.timer(pollInterval, true, [this] {
        readPermissions();
        changed.notify();
    });
}

void WalkthroughModel::readPermissions()
{
    m_state.accessibility = m_permissions.isGranted(Permission::accessibility);
    m_state.inputMonitoring = m_permissions.isGranted(Permission::inputMonitoring);
}

void WalkthroughModel::playStep()
{
    switch (m_state.step) {
    case WalkStep::automatic:
        runAutomatic();
        break;
    case WalkStep::ask:
        runAsk();
        break;
    case WalkStep::manual:
        runManual();
        break;
    case WalkStep::secure:
        runSecure();
        break;
    case WalkStep::permissions:
        runPermissions();
        break;
    }
}

WalkthroughModel::Op WalkthroughModel::op(std::function<void(WalkthroughModel&)> body)
{
    // Ops run only from the model's own ticker.
    return [this, body = std::move(body)] { body(*this); };
}

void WalkthroughModel::typing(const std::string& text, std::vector<Op>& ops)
{
    for (const std::string& character : text::characters(text))
        ops.push_back(op([character](WalkthroughModel& m) { m.m_state.partial += character; }));
}

void WalkthroughModel::space(std::vector<Op>& ops)
{
    ops.push_back(op([](WalkthroughModel& m) {
        m.m_state.words.push_back(m.m_state.partial);
        m.m_state.partial.clear();
    }));
}

void WalkthroughModel::waits(int count, std::vector<Op>& ops)
{
    for (int i = 0; i < count; ++i)
        ops.push_back([] {});
}

void WalkthroughModel::flipLanguage(const std::string& language)
{
    m_state.language = language;
    m_state.languageLifted = true;
    m_lift = m_main.after(liftDuration, [this] {
        m_state.languageLifted = false;
        changed.notify();
    });
}

void WalkthroughModel::runAutomatic()
{
    m_state.language = "עב";
    m_state.rightToLeft = true;
    std::vector<Op> ops;
    typing(autoWrong[0].first, ops);
    space(ops);
    typing(autoWrong[1].first, ops);
    ops.push_back(op([](WalkthroughModel& m) {
        m.m_state.words = {autoWrong[0].second, autoWrong[1].second};
        m.m_state.partial.clear();
        m.m_state.rightToLeft = false;
        m.flipLanguage("EN");
    }));
    for (std::size_t i = 0; i < autoAfter.size(); ++i) {
        if (i > 0)
            space(ops);
        typing(autoAfter[i], ops);
    }
    run(std::move(ops), true, 2.2);
}

void WalkthroughModel::runAsk()
{
    m_state.language = "EN";
    std::vector<Op> ops;
    typing(askPair.first, ops);
    waits(4, ops);
    ops.push_back(op([](WalkthroughModel& m) { m.m_state.showCapsule = true; }));
    waits(11, ops);
    ops.push_back(op([](WalkthroughModel& m) { m.m_state.capsulePressed = true; }));
    ops.push_back(op([](WalkthroughModel& m) {
        m.m_state.capsulePressed = false;
        m.m_state.showCapsule = false;
        m.m_state.rightToLeft = true;
        m.m_state.words = {askPair.second};
        m.m_state.partial.clear();
        m.flipLanguage("עב");
    }));
    run(std::move(ops), true, 1.9);
}

void WalkthroughModel::runManual()
{
    m_state.language = "EN";
    m_state.showCaret = false;
    m_state.words = {manualPair.first};
    std::vector<Op> ops;
    waits(7, ops);
    ops.push_back(op([](WalkthroughModel& m) { m.m_state.selected = true; }));
    waits(6, ops);
    ops.push_back(op([](WalkthroughModel& m) { m.m_state.keysLit = true; }));
    waits(3, ops);
    ops.push_back(op([](WalkthroughModel& m) {
        m.m_state.keysLit = false;
        m.m_state.selected = false;
        m.m_state.rightToLeft = true;
        m.m_state.words = {manualPair.second};
        m.flipLanguage("עב");
    }));
    run(std::move(ops), true, 1.9);
}

void WalkthroughModel::runSecure()
{
    m_state.language = "\u2014";
    m_state.showCaret = false;
    std::vector<Op> ops;
    for (int dots = 1; dots <= 9; ++dots)
        ops.push_back(op([dots](WalkthroughModel& m) { m.m_state.passwordDots = dots; }));
    run(std::move(ops), true, 1.5);
}

void WalkthroughModel::runPermissions()
{
    m_state.showCaret = false;
    readPermissions();
}

void WalkthroughModel::runSendOff()
{
    clearStage();
    m_state.finished = true;
    m_state.rightToLeft = true;
    std::vector<Op> ops;
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= sendOffTyped.size()) {
        const std::size_t end = std::min(sendOffTyped.find(' ', start), sendOffTyped.size());
        if (end > start)
            pieces.push_back(sendOffTyped.substr(start, end - start));
        start = end + 1;
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        typing(pieces[i], ops);
        if (i + 1 < pieces.size())
            space(ops);
    }
    ops.push_back(op([](WalkthroughModel& m) {
        m.m_state.rightToLeft = false;
        m.m_state.words = {sendOff};
        m.m_state.partial.clear();
        m.m_state.showCaret = false;
    }));
    run(std::move(ops), false, 2.2);
}

}  // namespace kx
