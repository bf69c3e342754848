#include "platform/x11/X11InputSources.h"

#include "platform/Log.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/XProperty.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kx::platform::x11 {

namespace {

constexpr long rulesPropertyLength = 1024;  // in 32-bit units; the five names fit many times over

std::vector<std::string> splitCommas(std::string_view list)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto comma = list.find(',', start);
        const auto length = comma == std::string_view::npos ? std::string_view::npos : comma - start;
        parts.emplace_back(list.substr(start, length));
        if (comma == std::string_view::npos)
            return parts;
        start = comma + 1;
    }
}

// The keymap's groups, named by the rules names of the root window.
std::vector<InputSource> readSources(Display* dpy, Atom rulesAtom)
{
    int groups = 0;
    if (XkbDescPtr keymap = XkbAllocKeyboard()) {
        if (XkbGetControls(dpy, XkbAllControlsMask, keymap) == Success && keymap->ctrls)
            groups = keymap->ctrls->num_groups;
        XkbFreeKeyboard(keymap, XkbAllComponentsMask, True);
    }
    const RulesNames names =
        parseRulesNames(textProperty(dpy, DefaultRootWindow(dpy), rulesAtom, XA_STRING, rulesPropertyLength));
    if (names.layouts.empty())
        Log::line("x11: the keymap names no layouts (_XKB_RULES_NAMES is missing)");
    return sourcesFromRulesNames(names, groups);
}

}  // namespace

RulesNames parseRulesNames(std::string_view property)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start <= property.size() && fields.size() < 5) {
        auto end = property.find('\0', start);
        if (end == std::string_view::npos)
            end = property.size();
        fields.push_back(property.substr(start, end - start));
        start = end + 1;
    }
    RulesNames names;
    if (fields.size() < 3 || fields[2].empty())
        return names;
    names.layouts = splitCommas(fields[2]);
    names.variants = fields.size() > 3 && !fields[3].empty() ? splitCommas(fields[3]) : std::vector<std::string>{};
    names.variants.resize(names.layouts.size());
    return names;
}

std::vector<InputSource> sourcesFromRulesNames(const RulesNames& names, int groupCount)
{
    std::vector<InputSource> sources;
    for (int group = 0; group < groupCount; ++group) {
        InputSource source;
        source.handle = group;
        if (static_cast<std::size_t>(group) < names.layouts.size()) {
            source.layout = names.layouts[group];
            source.variant = names.variants[group];
        }
        sources.push_back(std::move(source));
    }
    return sources;
}

// The signal's own handle, in the shape InputSources hands out.
class X11InputSources::Token final : public InputSources::Subscription {
public:
    explicit Token(std::unique_ptr<kx::Subscription> handle) : m_handle(std::move(handle)) {}

private:
    std::unique_ptr<kx::Subscription> m_handle;
};

std::unique_ptr<X11InputSources> X11InputSources::open(std::shared_ptr<X11Keyboard> keyboard)
{
    auto display = openDisplay();
    if (!display)
        return nullptr;
    const auto eventBase = queryXkb(display.get());
    if (!eventBase) {
        Log::line("x11: the server lacks XKB");
        return nullptr;
    }
    return std::unique_ptr<X11InputSources>(new X11InputSources(std::move(display), *eventBase, std::move(keyboard)));
}

std::optional<std::vector<InputSource>> X11InputSources::enabledOnDisplay()
{
    const auto display = openDisplay();
    if (!display || !queryXkb(display.get()))
        return std::nullopt;
    Display* dpy = display.get();
    auto sources = readSources(dpy, XInternAtom(dpy, "_XKB_RULES_NAMES", False));
    // A group the names leave out cannot be compiled into a key table.
    if (sources.empty() || std::ranges::any_of(sources, [](const InputSource& s) { return s.layout.empty(); }))
        return std::nullopt;
    return sources;
}

X11InputSources::X11InputSources(DisplayPtr display, int xkbEventBase, std::shared_ptr<X11Keyboard> keyboard)
    : m_display(std::move(display)), m_keyboard(std::move(keyboard)), m_xkbEventBase(xkbEventBase)
{
    Display* dpy = m_display.get();
    m_rulesAtom = XInternAtom(dpy, "_XKB_RULES_NAMES", False);
    constexpr unsigned groupChanges = XkbGroupLockMask;
    XkbSelectEventDetails(dpy, XkbUseCoreKbd, XkbStateNotify, groupChanges, groupChanges);
    XkbSelectEvents(dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    // setxkbmap writes the names after it loads the keymap: a change of the names reads again.
    XSelectInput(dpy, DefaultRootWindow(dpy), PropertyChangeMask);
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(dpy), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(false); });
    readLayouts();
    m_group = readGroup();
}

X11InputSources::~X11InputSources() = default;

std::vector<InputSource> X11InputSources::enabled() const
{
    return m_sources;
}

std::optional<InputSource> X11InputSources::current() const
{
    const auto group = readGroup();
    if (!group || *group >= static_cast<int>(m_sources.size()))
        return std::nullopt;
    return m_sources[*group];
}

void X11InputSources::select(const InputSource& source)
{
    if (source.handle < 0 || source.handle >= static_cast<int>(m_sources.size()))
        return;
    const auto group = static_cast<unsigned>(source.handle);
    if (m_keyboard) {
        // Done before the group is read below on our own connection.
        m_keyboard->with([this, group](Display* display) {
            XkbLockGroup(display, XkbUseCoreKbd, group);
            XSync(display, False);
            m_keyboard->drainLocked(display);
        });
    } else {
        XkbLockGroup(m_display.get(), XkbUseCoreKbd, group);
        XFlush(m_display.get());
    }
    // The server's notice of our own switch does not always come (seen under Xvfb); the group read
    // after the request is the answer either way, and the notice then changes nothing.
    QTimer::singleShot(0, m_notifier.get(), [this] { readEvents(true); });
}

std::unique_ptr<InputSources::Subscription> X11InputSources::subscribe(std::function<void()> onChange)
{
    return std::make_unique<Token>(m_changed.subscribe(std::move(onChange)));
}

std::optional<int> X11InputSources::readGroup() const
{
    Display* dpy = m_display.get();
    XkbStateRec state{};
    const bool read = XkbGetState(dpy, XkbUseCoreKbd, &state) == Success;
    // The reply may have brought notices along, and the socket will not announce them again.
    if (XEventsQueued(dpy, QueuedAlready) > 0 && !m_readScheduled) {
        m_readScheduled = true;
        QTimer::singleShot(0, m_notifier.get(),
                           [self = const_cast<X11InputSources*>(this)] { self->readEvents(false); });
    }
    if (!read)
        return std::nullopt;
    return state.locked_group;
}

void X11InputSources::readLayouts()
{
    m_sources = readSources(m_display.get(), m_rulesAtom);
}

void X11InputSources::readEvents(bool askGroup)
{
    m_readScheduled = false;
    Display* dpy = m_display.get();
    bool groupNotice = askGroup;
    bool layoutsChanged = false;
    // Reading the layouts is a round trip that may bring more notices into Xlib's queue, where the
    // socket notifier cannot see them: read until none is left.
    do {
        bool keymapNotice = false;
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (event.type == PropertyNotify) {
                keymapNotice = keymapNotice || event.xproperty.atom == m_rulesAtom;
            } else if (event.type == m_xkbEventBase) {
                const auto& any = reinterpret_cast<const XkbAnyEvent&>(event);
                if (any.xkb_type == XkbNewKeyboardNotify || any.xkb_type == XkbMapNotify)
                    keymapNotice = true;
                else if (any.xkb_type == XkbStateNotify)
                    groupNotice = true;
            }
        }
        if (keymapNotice) {
            const auto before = m_sources;
            readLayouts();
            layoutsChanged = layoutsChanged || m_sources != before;
        }
    } while (XEventsQueued(dpy, QueuedAlready) > 0);
    if (!groupNotice && !layoutsChanged)
        return;
    const auto group = readGroup();
    if (!layoutsChanged && group == m_group)
        return;
    m_group = group;
    m_changed.notify();
}

}  // namespace kx::platform::x11
