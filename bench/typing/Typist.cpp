#include "Typist.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <ctime>

namespace kx::bench {

namespace {

constexpr unsigned controlKeycode = 37;
constexpr unsigned aKeycode = 38;
constexpr unsigned backSpaceKeycode = 22;

void sleepUntil(std::int64_t nanoseconds)
{
    const timespec until{static_cast<time_t>(nanoseconds / 1'000'000'000),
                         static_cast<long>(nanoseconds % 1'000'000'000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
    }
}

}  // namespace

std::int64_t monotonicNanoseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

Typist::Typist() : m_display(XOpenDisplay(nullptr)) {}

Typist::~Typist()
{
    if (m_display)
        XCloseDisplay(m_display);
}

std::vector<std::int64_t> Typist::play(const TypingPlan& plan)
{
    std::vector<std::int64_t> spaceAt(plan.onWrongLayout.size(), -1);
    m_pressAt.clear();
    const std::int64_t start = monotonicNanoseconds();
    for (const KeyEvent& event : plan.events) {
        sleepUntil(start + static_cast<std::int64_t>(event.atMs * 1e6));
        if (event.kind == KeyEvent::Kind::lockGroup)
            XkbLockGroup(m_display, XkbUseCoreKbd, event.value);
        else
            XTestFakeKeyEvent(m_display, event.value, event.kind == KeyEvent::Kind::press, CurrentTime);
        // The round trip puts the event in the server now, not whenever the buffer fills.
        XSync(m_display, False);
        const std::int64_t now = monotonicNanoseconds();
        if (event.kind == KeyEvent::Kind::press && event.value != LayoutKeys::shiftKeycode)
            m_pressAt.push_back(now);
        if (event.endsWord >= 0)
            spaceAt[event.endsWord] = now;
    }
    return spaceAt;
}

void Typist::clearField()
{
    lockGroup(0);
    XTestFakeKeyEvent(m_display, controlKeycode, True, CurrentTime);
    XTestFakeKeyEvent(m_display, aKeycode, True, CurrentTime);
    XTestFakeKeyEvent(m_display, aKeycode, False, CurrentTime);
    XTestFakeKeyEvent(m_display, controlKeycode, False, CurrentTime);
    XTestFakeKeyEvent(m_display, backSpaceKeycode, True, CurrentTime);
    XTestFakeKeyEvent(m_display, backSpaceKeycode, False, CurrentTime);
    XSync(m_display, False);

    // A click ends the corrector's memory of the words before it.
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    if (focus > PointerRoot && XGetWindowAttributes(m_display, focus, &attributes) &&
        XTranslateCoordinates(m_display, focus, DefaultRootWindow(m_display), attributes.width / 2,
                              attributes.height / 2, &x, &y, &child)) {
        XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    }
    XSync(m_display, False);
}

void Typist::lockGroup(unsigned group)
{
    XkbLockGroup(m_display, XkbUseCoreKbd, group);
    XSync(m_display, False);
}

}  // namespace kx::bench
