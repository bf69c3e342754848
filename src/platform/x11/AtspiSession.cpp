#include "platform/x11/AtspiSession.h"

#include "platform/Log.h"
#include "platform/ProcessInfo.h"
#include "platform/x11/AtspiBusHealth.h"
#include "platform/x11/AtspiObject.h"

#include <dbus/dbus.h>
#include <unistd.h>
#include <glib.h>
// libatspi's headers take D-Bus and GLib as declared.
#include <atspi/atspi-constants.h>
#include <atspi/atspi-gmain.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kx::platform::x11 {

namespace {

// The search for the focused element in an application that cannot be asked for it in one call
// stops after this many elements, so that a huge one (a spreadsheet, a web page) cannot keep the
// session busy.
constexpr int searchLimit = 2000;

constexpr int healthCallTimeoutMs = 250;
// The first check waits for a registry that the bus is still starting.
constexpr int firstCheckTimeoutMs = 3000;
// While the bus cannot be used it is tried again this often; once it answers, the session waits
// as long again before it trusts it: applications that started meanwhile register with the new
// registry only as they notice it, and an unregistered one's password field could not be found.
constexpr guint retryIntervalMs = 1000;
// The registered applications are looked up again at most this often.
constexpr auto applicationsInterval = std::chrono::seconds(1);

int toMilliseconds(double seconds)
{
    return static_cast<int>(std::clamp(std::ceil(seconds * 1000.0), 1.0, 60000.0));
}

bool has(std::uint64_t states, int state)
{
    return (states >> state & 1U) != 0;
}

struct SourceDestroy {
    void operator()(GSource* source) const
    {
        g_source_destroy(source);
        g_source_unref(source);
    }
};
using SourcePtr = std::unique_ptr<GSource, SourceDestroy>;

// Depth first through the showing elements from element down; none past the budget.
std::optional<AtspiObject> searchFocused(DBusConnection* bus, const AtspiObject& element, bool top, int& budget,
                                         int timeoutMs)
{
    if (--budget < 0)
        return std::nullopt;
    const auto states = element.states(bus, timeoutMs);
    if (!states)
        return std::nullopt;
    if (has(*states, ATSPI_STATE_FOCUSED))
        return element;
    if (!top && !has(*states, ATSPI_STATE_SHOWING))
        return std::nullopt;
    for (const auto& child : element.children(bus, timeoutMs)) {
        if (auto found = searchFocused(bus, child, false, budget, timeoutMs))
            return found;
        if (budget < 0)
            break;
    }
    return std::nullopt;
}

}  // namespace

struct AtspiSession::State {
    enum class Connection { pending, connected, failed };

    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    std::thread thread;

    mutable std::mutex mutex;
    mutable std::condition_variable connectionKnown;
    Connection connection = Connection::pending;

    // Session thread only.
    atspibus::ConnectionPtr bus;  // our connection to the accessibility bus, perhaps a dead one
    std::optional<AtspiObject> focused;
    int timeoutMs = healthCallTimeoutMs;  // for each call of the current job
    SourcePtr retry;                      // the check again while the bus cannot be used
    bool settling = false;                // the registry answers again; trusted at the next check
    std::string problem;                  // the last reason logged for the bus being unusable
    std::chrono::steady_clock::time_point applicationsAt;

    std::atomic<bool> focusPassword = false;
    std::atomic<int> focusPid = 0;
    std::atomic<int> frontPid = 0;
    std::atomic<bool> focusAsked = false;
    std::atomic<bool> applicationsAsked = false;

    mutable std::mutex applicationsMutex;
    std::set<int> applicationPids;
    // Every process seen registered, on this bus or one before it, while it lives: one that is
    // not registered now may be on a bus that died, where its password fields cannot be seen.
    std::set<int> everRegistered;

    ~State()
    {
        g_main_loop_unref(loop);
        g_main_context_unref(context);
    }

    void setConnection(Connection value)
    {
        std::lock_guard lock(mutex);
        connection = value;
        connectionKnown.notify_all();
    }
    bool usable() const
    {
        std::lock_guard lock(mutex);
        return connection == Connection::connected;
    }

    void setFocused(std::optional<AtspiObject> element)
    {
        focused = std::move(element);
        focusPassword = focused && focused->role(bus.get(), timeoutMs) == ATSPI_ROLE_PASSWORD_TEXT;
        focusPid = focused ? focused->pid(bus.get(), timeoutMs) : 0;
    }

    // The focused element: the last one found while it keeps the focus (one question to its
    // application), else the one found in the active windows, the front application's first.
    const AtspiObject* currentFocus()
    {
        static const int ownPid = static_cast<int>(getpid());
        const int front = frontPid;
        DBusConnection* const connection = bus.get();
        if (focused && (front <= 0 || focusPid == front) && focused->has(connection, ATSPI_STATE_FOCUSED, timeoutMs))
            return &*focused;
        std::vector<std::pair<int, AtspiObject>> apps;
        for (auto& app : AtspiObject::desktop().children(connection, timeoutMs))
            apps.emplace_back(app.pid(connection, timeoutMs), std::move(app));
        std::ranges::stable_partition(apps, [front](const auto& app) { return app.first == front; });
        std::set<int> pids;
        std::optional<AtspiObject> found;
        bool frontActive = false;
        int budget = searchLimit;
        for (const auto& [pid, app] : apps) {
            pids.insert(pid);
            // Our own windows answer on the main thread, which may be the one waiting here.
            if (found || pid == ownPid)
                continue;
            for (const auto& window : app.children(connection, timeoutMs)) {
                if (!window.has(connection, ATSPI_STATE_ACTIVE, timeoutMs))
                    continue;
                frontActive = frontActive || pid == front;
                bool answered = false;
                found = window.focusedBelow(connection, timeoutMs, answered);
                if (!answered)
                    found = searchFocused(connection, window, true, budget, timeoutMs);
                if (found)
                    break;
            }
        }
        setApplications(std::move(pids));
        // A keyboard grab (a hot key's, while its key is down) takes the focus from the window in
        // front, which then has no active window at all: its field gets the keys again once the
        // grab ends, and keeps counting as focused meanwhile.
        if (!found && !frontActive && focused && front > 0 && focusPid == front &&
            focused->has(connection, ATSPI_STATE_SHOWING, timeoutMs))
            return &*focused;
        setFocused(std::move(found));
        return focused ? &*focused : nullptr;
    }

    void setApplications(std::set<int> pids)
    {
        applicationsAt = std::chrono::steady_clock::now();
        pids.erase(0);
        std::lock_guard lock(applicationsMutex);
        // A process that ended is forgotten, so that its number can be given to another.
        std::erase_if(everRegistered, [&](int pid) { return !pids.contains(pid) && !process::isAlive(pid); });
        everRegistered.insert(pids.begin(), pids.end());
        applicationPids = std::move(pids);
    }

    void refreshApplications()
    {
        std::set<int> pids;
        for (const auto& app : AtspiObject::desktop().children(bus.get(), timeoutMs))
            pids.insert(app.pid(bus.get(), timeoutMs));
        setApplications(std::move(pids));
    }

    // The bus tells at once when the registry leaves or the connection drops. A registry that
    // only arrives is the one our first question started.
    static DBusHandlerResult onBusMessage(DBusConnection*, DBusMessage* message, void* data)
    {
        auto* state = static_cast<State*>(data);
        if (dbus_message_is_signal(message, DBUS_INTERFACE_LOCAL, "Disconnected")) {
            state->unusable("the AT-SPI bus went away");
        } else if (dbus_message_is_signal(message, DBUS_INTERFACE_DBUS, "NameOwnerChanged")) {
            const char* name = nullptr;
            const char* oldOwner = nullptr;
            const char* newOwner = nullptr;
            if (dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &oldOwner,
                                      DBUS_TYPE_STRING, &newOwner, DBUS_TYPE_INVALID) &&
                atspibus::isRegistryName(name) && *oldOwner && state->usable())
                state->unusable("the accessibility registry restarted");
        }
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }

    // Connects to the bus; false when it cannot be reached.
    bool attach(int timeoutMs)
    {
        const std::string address = atspibus::address(timeoutMs);
        if (address.empty())
            return false;
        DBusError error;
        dbus_error_init(&error);
        bus.reset(dbus_connection_open_private(address.c_str(), &error));
        if (bus && !dbus_bus_register(bus.get(), &error))
            bus.reset();
        dbus_error_free(&error);
        if (!bus)
            return false;
        dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
        atspi_dbus_connection_setup_with_g_main(bus.get(), context);
        atspibus::watchRegistry(bus.get());
        dbus_connection_add_filter(bus.get(), &State::onBusMessage, this, nullptr);
        return true;
    }

    // Lets go of a bus that went away, so that the next attach() reaches the new one.
    void detach()
    {
        setFocused(std::nullopt);
        if (!bus)
            return;
        dbus_connection_remove_filter(bus.get(), &State::onBusMessage, this);
        bus.reset();
    }

    void unusable(const std::string& reason)
    {
        settling = false;
        setFocused(std::nullopt);
        {
            std::lock_guard lock(applicationsMutex);
            applicationPids.clear();
        }
        setConnection(Connection::failed);
        if (reason != problem) {
            problem = reason;
            Log::line("accessibility: " + reason);
        }
        retryEverySecond();
    }

    void retryEverySecond()
    {
        if (retry)
            return;
        retry.reset(g_timeout_source_new(retryIntervalMs));
        g_source_set_callback(
            retry.get(),
            [](gpointer data) -> gboolean {
                static_cast<State*>(data)->check(healthCallTimeoutMs);
                return G_SOURCE_CONTINUE;
            },
            this, nullptr);
        g_source_attach(retry.get(), context);
    }
    void stopRetrying() { retry.reset(); }

    // Whether the bus can be trusted with the focus now; brings the session back when it can.
    void check(int checkTimeoutMs)
    {
        if (bus && !atspibus::connected(bus.get())) {
            detach();
            unusable("the AT-SPI bus went away");
        }
        if (!bus && !attach(checkTimeoutMs)) {
            unusable("the AT-SPI bus cannot be reached");
            return;
        }
        if (!atspibus::registryAnswers(bus.get(), checkTimeoutMs)) {
            unusable("the accessibility registry does not answer");
            return;
        }
        if (!problem.empty() && !settling) {
            settling = true;
            retryEverySecond();
            return;
        }
        if (!problem.empty())
            Log::line("accessibility: the AT-SPI bus answers again");
        problem.clear();
        settling = false;
        stopRetrying();
        setFocused(std::nullopt);
        timeoutMs = healthCallTimeoutMs;
        currentFocus();
        setConnection(Connection::connected);
    }

    void main()
    {
        g_main_context_push_thread_default(context);
        check(firstCheckTimeoutMs);
        g_main_loop_run(loop);
        stopRetrying();
        detach();
        g_main_context_pop_thread_default(context);
    }

    // Runs call on the session's thread soon, unless a request flagged by asked still waits there.
    void askOnce(std::atomic<bool>& asked, GSourceFunc call)
    {
        if (asked.exchange(true))
            return;
        g_main_context_invoke(context, call, this);
    }
};

AtspiSession::AtspiSession() : m_state(std::make_unique<State>())
{
    m_state->thread = std::thread([state = m_state.get()] { state->main(); });
}

AtspiSession::~AtspiSession()
{
    // Quit from inside the loop: a quit before the loop runs would be lost.
    g_main_context_invoke(
        m_state->context,
        [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        m_state->loop);
    m_state->thread.join();
}

bool AtspiSession::connected(double wait) const
{
    std::unique_lock lock(m_state->mutex);
    m_state->connectionKnown.wait_for(lock, std::chrono::duration<double>(std::max(wait, 0.0)),
                                      [this] { return m_state->connection != State::Connection::pending; });
    return m_state->connection == State::Connection::connected;
}

AtspiSession::Focus AtspiSession::focus() const
{
    return {m_state->focusPassword.load(), m_state->focusPid.load()};
}

void AtspiSession::lookUpFocus()
{
    m_state->askOnce(m_state->focusAsked, [](gpointer data) -> gboolean {
        auto* state = static_cast<State*>(data);
        state->focusAsked = false;
        if (state->usable()) {
            state->timeoutMs = healthCallTimeoutMs;
            state->currentFocus();
        }
        return G_SOURCE_REMOVE;
    });
}

void AtspiSession::setFrontProcess(int pid)
{
    m_state->frontPid = pid;
}

int AtspiSession::frontProcess() const
{
    return m_state->frontPid;
}

std::set<int> AtspiSession::applications() const
{
    std::lock_guard lock(m_state->applicationsMutex);
    return m_state->applicationPids;
}

bool AtspiSession::leftTheBus(int pid) const
{
    std::lock_guard lock(m_state->applicationsMutex);
    return m_state->everRegistered.contains(pid) && !m_state->applicationPids.contains(pid);
}

void AtspiSession::lookUpApplications()
{
    m_state->askOnce(m_state->applicationsAsked, [](gpointer data) -> gboolean {
        auto* state = static_cast<State*>(data);
        state->applicationsAsked = false;
        if (state->usable() && std::chrono::steady_clock::now() - state->applicationsAt >= applicationsInterval) {
            state->timeoutMs = healthCallTimeoutMs;
            state->refreshApplications();
        }
        return G_SOURCE_REMOVE;
    });
}

std::set<int> AtspiSession::applicationsNow(double wait)
{
    run([state = m_state.get()](DBusConnection*, const AtspiObject*, int) { state->refreshApplications(); }, wait,
        wait);
    return applications();
}

bool AtspiSession::run(Work work, double callTimeout, double wait)
{
    if (!connected(wait))
        return false;
    struct Job {
        State* state = nullptr;
        Work work;
        int timeout = 0;
        std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
        std::shared_ptr<std::mutex> mutex = std::make_shared<std::mutex>();
        std::shared_ptr<std::condition_variable> finished = std::make_shared<std::condition_variable>();
    };
    auto* job = new Job{m_state.get(), std::move(work), toMilliseconds(callTimeout)};
    const auto done = job->done;
    const auto mutex = job->mutex;
    const auto finished = job->finished;
    g_main_context_invoke_full(
        m_state->context, G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            auto* job = static_cast<Job*>(data);
            State& state = *job->state;
            state.timeoutMs = job->timeout;
            // The bus may have gone since the job was queued; it must not be asked then.
            if (state.usable())
                job->work(state.bus.get(), state.currentFocus(), job->timeout);
            std::lock_guard lock(*job->mutex);
            *job->done = true;
            job->finished->notify_all();
            return G_SOURCE_REMOVE;
        },
        job, [](gpointer data) { delete static_cast<Job*>(data); });
    std::unique_lock lock(*mutex);
    return finished->wait_for(lock, std::chrono::duration<double>(std::max(wait, 0.0)), [&] { return done->load(); });
}

}  // namespace kx::platform::x11
