#include "platform/x11/X11Workspace.h"

#include "platform/Log.h"
#include "platform/ProcessInfo.h"
#include "platform/x11/XClientPid.h"
#include "platform/x11/XConnection.h"
#include "platform/x11/XProperty.h"

#include <QMetaObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <mutex>
#include <unistd.h>

namespace kx::platform::x11 {

struct X11Workspace::State {
    DisplayPtr display;
    Window root = 0;
    Atom activeWindow = 0;
    Atom clientList = 0;
    Atom wmPid = 0;
    Atom gtkApplicationId = 0;
    Atom utf8String = 0;
    std::string hostName;
    std::unique_ptr<DesktopEntries> entries;
    // Xlib calls on one connection must not interleave; notices and queries may come from two threads.
    mutable std::mutex mutex;
    std::unique_ptr<QSocketNotifier> notifier;
    std::optional<RunningApplication> lastFront;
    std::shared_ptr<Signal<const RunningApplication&>> activated =
        std::make_shared<Signal<const RunningApplication&>>();

    int pidOf(Window window) const
    {
        // A remote client's pid would name some unrelated process of this machine; the server
        // knows none for a remote client either.
        const auto machine = textProperty(display.get(), window, XA_WM_CLIENT_MACHINE, XA_STRING);
        if (!machine.empty() && machine != hostName)
            return 0;
        const auto pids = longProperty(display.get(), window, wmPid, XA_CARDINAL);
        if (!pids.empty() && pids.front() > 0)
            return static_cast<int>(pids.front());
        return clientPid(display.get(), window);
    }

    RunningApplication describe(Window window) const
    {
        ApplicationClues clues;
        XClassHint hint{};
        if (XGetClassHint(display.get(), window, &hint)) {
            clues.wmInstance = hint.res_name ? hint.res_name : "";
            clues.wmClass = hint.res_class ? hint.res_class : "";
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        clues.gtkApplicationId = textProperty(display.get(), window, gtkApplicationId, utf8String);
        RunningApplication app;
        app.pid = pidOf(window);
        app.executable = process::executable(app.pid);
        clues.programs.push_back(app.executable.filename().string());
        if (const auto arguments = process::arguments(app.pid); !arguments.empty())
            clues.programs.push_back(std::filesystem::path(arguments.front()).filename().string());
        if (const auto entry = entries->match(clues)) {
            app.id = entry->id;
            app.name = entry->name.empty() ? clues.wmClass : entry->name;
        } else {
            app.id = clues.wmClass;
            app.name = clues.wmClass;
        }
        return app;
    }

    std::optional<RunningApplication> front() const
    {
        const auto windows = longProperty(display.get(), root, activeWindow, XA_WINDOW);
        if (windows.empty() || windows.front() == 0)
            return std::nullopt;
        return describe(windows.front());
    }

    // Reads every event the connection holds; main thread.
    void readEvents()
    {
        std::optional<RunningApplication> changed;
        bool activeChanged = false;
        {
            std::lock_guard lock(mutex);
            while (XPending(display.get()) > 0) {
                XEvent event;
                XNextEvent(display.get(), &event);
                if (event.type == PropertyNotify && event.xproperty.atom == activeWindow)
                    activeChanged = true;
            }
            if (!activeChanged)
                return;
            auto now = front();
            const bool same = now && lastFront && now->id == lastFront->id && now->pid == lastFront->pid;
            lastFront = now;
            if (now && !same)
                changed = std::move(now);
        }
        // Outside the lock: a subscriber may well ask for the front application.
        if (changed)
            activated->notify(*changed);
    }

    // Replies read by a query may have pulled events into Xlib's queue, where the socket notifier
    // cannot see them; read them on the main thread soon.
    void readQueuedEventsLater() const
    {
        if (notifier && XQLength(display.get()) > 0)
            QMetaObject::invokeMethod(
                notifier.get(), [this] { const_cast<State*>(this)->readEvents(); }, Qt::QueuedConnection);
    }
};

X11Workspace::X11Workspace(const char* displayName, std::unique_ptr<DesktopEntries> entries)
    : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.entries =
        entries ? std::move(entries)
                : std::make_unique<DesktopEntries>(DesktopEntries::standardFolders(), DesktopEntries::currentLocale());
    s.display = openDisplay(displayName);
    if (!s.display) {
        Log::line("workspace: without the X display no front application will be known");
        return;
    }
    Display* display = s.display.get();
    s.root = DefaultRootWindow(display);
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0)
        s.hostName = host;
    s.activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    s.clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
    s.wmPid = XInternAtom(display, "_NET_WM_PID", False);
    s.gtkApplicationId = XInternAtom(display, "_GTK_APPLICATION_ID", False);
    s.utf8String = XInternAtom(display, "UTF8_STRING", False);
    XSelectInput(display, s.root, PropertyChangeMask);
    s.lastFront = s.front();
    XFlush(display);
    s.notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    QObject::connect(s.notifier.get(), &QSocketNotifier::activated, s.notifier.get(), [&s] { s.readEvents(); });
    s.readQueuedEventsLater();
}

X11Workspace::~X11Workspace()
{
    // The notifier watches the connection's socket: it goes first.
    m_state->notifier.reset();
}

std::optional<RunningApplication> X11Workspace::frontApplication() const
{
    if (!m_state->display)
        return std::nullopt;
    std::lock_guard lock(m_state->mutex);
    auto app = m_state->front();
    m_state->readQueuedEventsLater();
    return app;
}

std::vector<RunningApplication> X11Workspace::runningApplications() const
{
    if (!m_state->display)
        return {};
    std::lock_guard lock(m_state->mutex);
    std::vector<RunningApplication> apps;
    for (const auto window : longProperty(m_state->display.get(), m_state->root, m_state->clientList, XA_WINDOW)) {
        auto app = m_state->describe(window);
        // One entry per application, however many windows it has.
        const bool known =
            std::ranges::any_of(apps, [&](const auto& other) { return other.id == app.id && other.pid == app.pid; });
        if (!known && (!app.id.empty() || app.pid > 0))
            apps.push_back(std::move(app));
    }
    m_state->readQueuedEventsLater();
    return apps;
}

std::unique_ptr<Subscription> X11Workspace::subscribeActivation(std::function<void(const RunningApplication&)> notice)
{
    return m_state->activated->subscribe(std::move(notice));
}

bool X11Workspace::open(const std::string& url, std::function<void()> failed)
{
    if (url.empty() || url.front() == '-')
        return false;
    // Nobody waits for the handler, but its exit status tells whether it found something to open
    // the page with. Without a parent, and deleted only once finished: a handler still running
    // when the program quits (one that waits for the browser) is left alone, never killed.
    auto* process = new QProcess;
    process->setProgram(QStringLiteral("xdg-open"));
    process->setArguments({QString::fromStdString(url)});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, url, failed](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && exitCode == 0)
                             return;
                         Log::line("xdg-open could not open " + url + " (exit " + std::to_string(exitCode) + ")");
                         if (failed)
                             failed();
                     });
    process->start();
    if (!process->waitForStarted()) {
        Log::line("cannot start xdg-open for " + url);
        delete process;
        if (failed)
            QTimer::singleShot(0, std::move(failed));
        return false;
    }
    return true;
}

}  // namespace kx::platform::x11
