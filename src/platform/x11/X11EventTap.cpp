#include "platform/x11/X11EventTap.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XKBproto.h>
#include <X11/extensions/record.h>
#include <X11/extensions/xtestproto.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <string>

namespace kx::platform::x11 {

namespace {

// Long enough for a loaded server, short enough that a stalled recording leaves no key held for long.
constexpr std::chrono::milliseconds barrierTimeout{500};

struct RangeFree {
    void operator()(XRecordRange* range) const { XFree(range); }
};
using RangePtr = std::unique_ptr<XRecordRange, RangeFree>;

// A chord press's record comes within a few milliseconds of its grab; one that has not come by
// then was recorded while the keyboard was stopped, without the modifiers it was typed with.
constexpr std::chrono::milliseconds recordGrace{40};

}  // namespace

// The context lives on the keyboard connection and is enabled on the recording one; it is turned
// off and freed from the keyboard connection, which is never blocked.
struct X11EventTap::RecordContext {
    std::shared_ptr<X11Keyboard> keyboard;
    XRecordContext id = 0;

    ~RecordContext()
    {
        keyboard->with([this](Display* display) {
            XRecordDisableContext(display, id);
            XRecordFreeContext(display, id);
            XSync(display, False);
        });
    }
};

X11EventTap::X11EventTap(std::shared_ptr<X11Keyboard> keyboard, EventPoster& poster)
    : m_keyboard(std::move(keyboard)),
      m_stream(m_keyboard->clientBase(), m_keyboard->extensions().xtestOpcode, m_keyboard->extensions().xkbOpcode),
      m_poster(poster)
{}

X11EventTap::~X11EventTap()
{
    m_keyboard->with([this](Display*) { m_keyboard->setUnansweredNoticeLocked({}); });
    m_answerWatch.reset();
    m_dataNotifier.reset();
    m_keyboardNotifier.reset();
    m_keyboard->setHolding(false);
    m_keyboard->with([this](Display* display) { m_keyboard->ungrabChordsLocked(display); });
    m_context.reset();
}

bool X11EventTap::install(TapHandler handler)
{
    if (m_handler || !handler || !QCoreApplication::instance())
        return false;
    if (!startRecording())
        return false;
    m_handler = std::move(handler);
    refreshRoles();
    grabChords();
    // A chord press waits for its record; if none comes in time it is answered from its grab. The
    // press may be read by any thread that uses the keyboard connection, so the read wakes this one.
    m_answerWatch = std::make_unique<QTimer>();
    m_answerWatch->setSingleShot(true);
    QObject::connect(m_answerWatch.get(), &QTimer::timeout, m_answerWatch.get(), [this] { answerOverdueChords(); });
    m_keyboard->with([this](Display*) {
        m_keyboard->setUnansweredNoticeLocked([watch = m_answerWatch.get()] {
            QMetaObject::invokeMethod(
                watch, [watch] { watch->start(recordGrace); }, Qt::QueuedConnection);
        });
    });
    m_keyboardNotifier = std::make_unique<QSocketNotifier>(m_keyboard->fd(), QSocketNotifier::Read);
    QObject::connect(m_keyboardNotifier.get(), &QSocketNotifier::activated, m_keyboardNotifier.get(),
                     [this] { m_keyboard->with([this](Display* display) { m_keyboard->drainLocked(display); }); });
    return true;
}

bool X11EventTap::startRecording()
{
    m_data = openDisplay();
    if (!m_data)
        return false;

    std::array<RangePtr, 5> ranges{RangePtr(XRecordAllocRange()), RangePtr(XRecordAllocRange()),
                                   RangePtr(XRecordAllocRange()), RangePtr(XRecordAllocRange()),
                                   RangePtr(XRecordAllocRange())};
    for (const auto& range : ranges)
        if (!range)
            return false;
    // Presses and releases of every device; releases only so that a fake release is not taken
    // for the request of the press after it.
    ranges[0]->device_events.first = KeyPress;
    ranges[0]->device_events.last = ButtonPress;
    // Every client's fake input (whose event is whose), and our own hold grab and its release.
    const auto xtest = static_cast<unsigned char>(m_keyboard->extensions().xtestOpcode);
    ranges[1]->ext_requests.ext_major = {xtest, xtest};
    ranges[1]->ext_requests.ext_minor = {X_XTestFakeInput, X_XTestFakeInput};
    ranges[2]->core_requests = {X_GrabKeyboard, X_UngrabKeyboard};
    ranges[3]->core_requests = {X_NoOperation, X_NoOperation};
    // Group locks: where our own layout switch falls among the keys.
    const auto xkb = static_cast<unsigned char>(m_keyboard->extensions().xkbOpcode);
    ranges[4]->ext_requests.ext_major = {xkb, xkb};
    ranges[4]->ext_requests.ext_minor = {X_kbLatchLockState, X_kbLatchLockState};
    std::array<XRecordRange*, 5> raw{ranges[0].get(), ranges[1].get(), ranges[2].get(), ranges[3].get(),
                                     ranges[4].get()};
    XRecordClientSpec clients = XRecordAllClients;

    auto context = std::make_unique<RecordContext>();
    context->keyboard = m_keyboard;
    context->id = m_keyboard->with([&](Display* display) {
        const XRecordContext id = XRecordCreateContext(display, 0, &clients, 1, raw.data(), raw.size());
        XSync(display, False);
        return id;
    });
    if (context->id == 0) {
        Log::line("x11: cannot create the XRecord context");
        return false;
    }
    const auto collect = [](XPointer closure, XRecordInterceptData* data) {
        auto* batch = reinterpret_cast<std::vector<Recorded>*>(closure);
        const auto* bytes = data->data;
        batch->push_back({.category = data->category,
                          .idBase = static_cast<std::uint32_t>(data->id_base),
                          .swapped = data->client_swapped != 0,
                          .bytes = std::vector<unsigned char>(bytes, bytes ? bytes + data->data_len * 4 : bytes)});
        XRecordFreeData(data);
    };
    if (!XRecordEnableContextAsync(m_data.get(), context->id, collect, reinterpret_cast<XPointer>(&m_batch))) {
        Log::line("x11: cannot enable the XRecord context");
        return false;
    }
    m_context = std::move(context);
    m_dataNotifier = std::make_unique<QSocketNotifier>(ConnectionNumber(m_data.get()), QSocketNotifier::Read);
    QObject::connect(m_dataNotifier.get(), &QSocketNotifier::activated, m_dataNotifier.get(),
                     [this] { readRecords(); });
    XFlush(m_data.get());
    return true;
}

void X11EventTap::grabChords()
{
    const unsigned alt = m_roles.alt & -m_roles.alt;  // the lowest Alt bit: Mod1 on every usual map
    const std::array<unsigned, 4> locks{0, m_roles.capsLock, m_roles.numLock, m_roles.capsLock | m_roles.numLock};
    struct Chord {
        std::uint16_t key;
        unsigned modifiers;
    };
    std::vector<Chord> chords{{zKey, m_roles.ctrl}};
    if (alt != 0) {
        chords.push_back({kKey, m_roles.ctrl | alt});
        chords.push_back({zKey, m_roles.ctrl | alt});
    }
    m_keyboard->with([&](Display* display) {
        for (const auto& chord : chords)
            for (const unsigned lock : locks)
                m_keyboard->grabChordLocked(display, *keycodeFromVirtualKey(chord.key), chord.modifiers | lock);
    });
}

void X11EventTap::refreshRoles()
{
    m_keyboard->with([this](Display* display) {
        m_rolesGeneration = m_keyboard->keymapGeneration();
        m_roles = X11Keyboard::modifierRolesLocked(display);
    });
}

void X11EventTap::readRecords()
{
    XRecordProcessReplies(m_data.get());
    // The handler may take time and call back into us: it runs after the batch is read.
    std::vector<Recorded> batch = std::move(m_batch);
    m_batch.clear();
    for (const auto& recorded : batch) {
        const Intercept intercept{.category = recorded.category,
                                  .idBase = recorded.idBase,
                                  .swapped = recorded.swapped,
                                  .data = recorded.bytes};
        const auto input = m_stream.feed(intercept);
        if (!input)
            continue;
        if (input->kind == DeviceInput::Kind::barrier)
            passBarriers(++m_barriersRecorded);
        else if (input->kind == DeviceInput::Kind::groupLocked)
            m_handler({.type = TapEventType::layoutSelected, .sourceHandle = static_cast<int>(input->detail)});
        else
            handle(*input);
    }
}

void X11EventTap::afterPendingKeys(std::function<void()> then)
{
    if (!m_dataNotifier) {
        then();
        return;
    }
    m_barriers.push_back(std::move(then));
    const std::uint64_t number = m_barriersPassed + m_barriers.size();
    m_keyboard->with([](Display* display) {
        XNoOp(display);
        XFlush(display);
    });
    QTimer::singleShot(barrierTimeout, m_dataNotifier.get(), [this, number] {
        if (m_barriersPassed >= number)
            return;
        Log::line("x11: no record of the barrier after " + std::to_string(barrierTimeout.count()) +
                  " ms; going on without it");
        passBarriers(number);
    });
}

// Barriers are counted so that the record of one already given up on passes no later one.
void X11EventTap::passBarriers(std::uint64_t upTo)
{
    while (m_barriersPassed < upTo && !m_barriers.empty()) {
        auto then = std::move(m_barriers.front());
        m_barriers.pop_front();
        ++m_barriersPassed;
        then();
    }
}

void X11EventTap::handle(const DeviceInput& input)
{
    if (input.kind == DeviceInput::Kind::buttonPress) {
        // A recorded click has already gone to its window: the verdict cannot change that.
        if (const auto event = mouseDownFromX(input.detail, input.rootX, input.rootY))
            m_handler(*event);
        return;
    }
    if (m_rolesGeneration != m_keyboard->keymapGeneration())
        refreshRoles();
    // A press typed while a chord had the keyboard stopped is recorded without the modifiers it
    // was typed with: where it stopped the keyboard at a grab of ours, the grab's event has them
    // (though not the group, which grabs report in the core way).
    std::optional<unsigned> stopped;
    if (!input.held && !input.ours) {
        // Decided from its grab before its record came: the handler has had it.
        if (m_keyboard->with([&](Display*) { return m_keyboard->takeDecidedFromGrabLocked(input.detail, input.time); }))
            return;
        stopped = m_keyboard->with(
            [&](Display* display) { return m_keyboard->stoppedStateLocked(display, input.detail, input.time); });
    }
    const unsigned state = stopped ? (input.state & ~0xFFu) | (*stopped & 0xFFu) : input.state;
    // Kept from the application: by the hold, or stopped at one of our chord grabs.
    const bool chord = stopped || (!input.held && !input.ours && m_keyboard->with([&](Display*) {
                           return m_keyboard->isChordLocked(input.detail, input.state);
                       }));
    const bool caught = input.held || chord;
    auto event = keyDownFromX(input.detail, state, m_roles);
    TapVerdict verdict = TapVerdict::pass;
    if (event) {
        event->marked = input.ours;
        event->delivered = !caught && !input.ours;
        event->keptBack = input.held;
        event->sourceHandle = static_cast<int>(XkbGroupForCoreState(state));
        verdict = m_handler(*event);
    }
    if (chord) {
        m_keyboard->with([&](Display* display) {
            m_keyboard->allowChordLocked(display, input.detail, input.time, verdict == TapVerdict::pass);
        });
    } else if (caught && verdict == TapVerdict::pass) {
        // Passing a key we caught means handing it on now, as ours, so it is not seen twice.
        if (event && input.held) {
            for (const bool down : {true, false})
                m_poster.post({.code = event->code,
                               .flags = event->flags,
                               .down = down,
                               .text = {},
                               .marked = true,
                               .sourceHandle = event->sourceHandle});
        } else if (!isModifierKey(input.detail)) {
            m_keyboard->with([&](Display* display) { m_keyboard->replayLocked(display, input.detail, input.state); });
        }
    } else if (!caught && !input.ours && event && verdict == TapVerdict::swallow) {
        Log::line("x11: key " + std::to_string(event->code) + " reached the application before the hold; taken back");
    }
    if (!input.ours)
        m_keyboard->with([&](Display*) { m_keyboard->handedOnLocked(input.detail, input.time); });
}

bool X11EventTap::isModifierKey(unsigned keycode) const
{
    return keycode < m_roles.modifierKeys.size() && m_roles.modifierKeys.test(keycode);
}

// A chord press the records did not answer stops the keyboard until it is decided from the
// grab's own event.
void X11EventTap::answerOverdueChords()
{
    readRecords();
    while (const auto press = m_keyboard->with(
               [this](Display* display) { return m_keyboard->overdueChordLocked(display, recordGrace); })) {
        if (m_rolesGeneration != m_keyboard->keymapGeneration())
            refreshRoles();
        auto event = keyDownFromX(press->keycode, press->state, m_roles);
        if (event)
            event->sourceHandle = static_cast<int>(XkbGroupForCoreState(press->state));
        const TapVerdict verdict = event ? m_handler(*event) : TapVerdict::pass;
        m_keyboard->with([&](Display* display) {
            m_keyboard->allowOverdueChordLocked(display, *press, verdict == TapVerdict::pass);
        });
        Log::line("x11: chord on keycode " + std::to_string(press->keycode) + " decided from its grab");
    }
    if (m_keyboard->with([this](Display*) { return m_keyboard->awaitingAnswerLocked(); }))
        m_answerWatch->start(recordGrace);
}

bool X11EventTap::ownsKeyboardGrab()
{
    if (m_keyboard->holding())
        return true;
    return m_keyboard->with([this](Display* display) {
        if (m_keyboard->awaitingAnswerLocked())
            return true;
        std::array<char, 32> down{};
        XQueryKeymap(display, down.data());
        return std::ranges::any_of(std::array{zKey, kKey}, [&](std::uint16_t key) {
            const unsigned code = *keycodeFromVirtualKey(key);
            return (down[code / 8] & (1 << (code % 8))) != 0;
        });
    });
}

void X11EventTap::setHolding(bool on)
{
    m_letGoWanted = !on;
    if (on || !m_dataNotifier)
        m_keyboard->setHolding(on);
    else
        letGo();
}

// A key caught in the instant before the release is still on its way to the handler: it is
// handed on first, and the keyboard let go after it.
void X11EventTap::letGo()
{
    if (!m_letGoWanted || m_keyboard->letGoUnlessCaught())
        return;
    afterPendingKeys([this] { letGo(); });
}

}  // namespace kx::platform::x11
