#include "platform/x11/AtspiSession.h"

#include "platform/Log.h"
#include "platform/x11/AtspiBusHealth.h"

#include <atspi/atspi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kx::platform::x11 {

namespace {

// The fallback search for the focused element stops after this many elements, so that a huge
// application (a spreadsheet, a web page) cannot keep the session busy.
constexpr int searchLimit = 2000;

constexpr const char* focusEvent = "object:state-changed:focused";
// How often the bus is checked: a key typed after the bus went away should find it known.
constexpr guint healthIntervalMs = 250;
constexpr int healthCallTimeoutMs = 250;
// The first check waits for a registry that the bus is still starting.
constexpr int firstCheckTimeoutMs = 3000;
// A bus that cannot be reached is tried again every this many checks.
constexpr int reconnectEveryChecks = 4;
// Each application's process is a question to the bus: the list is renewed once a second.
constexpr int applicationsEveryChecks = 4;
// After the registry knows us again, applications that started meanwhile may still be learning
// that we listen: for this many checks the focus is looked up at each check, and the session stays
// unusable, so that no key typed into such an application's password field is taken for text.
constexpr int settleChecks = 4;

int toMilliseconds(double seconds)
{
    return static_cast<int>(std::clamp(std::ceil(seconds * 1000.0), 1.0, 60000.0));
}

struct ObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, ObjectUnref>;

bool hasState(AtspiAccessible* accessible, AtspiStateType state)
{
    const GPtr<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
    return states && atspi_state_set_contains(states.get(), state);
}

// Depth first through the showing elements below root; a new reference, or null.
AtspiAccessible* focusedBelow(AtspiAccessible* root, int& budget)
{
    if (--budget < 0)
        return nullptr;
    if (hasState(root, ATSPI_STATE_FOCUSED))
        return static_cast<AtspiAccessible*>(g_object_ref(root));
    const int count = atspi_accessible_get_child_count(root, nullptr);
    for (int i = 0; i < count && budget >= 0; ++i) {
        const GPtr<AtspiAccessible> child(atspi_accessible_get_child_at_index(root, i, nullptr));
        if (!child || !hasState(child.get(), ATSPI_STATE_SHOWING))
            continue;
        if (AtspiAccessible* found = focusedBelow(child.get(), budget))
            return found;
    }
    return nullptr;
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
    AtspiEventListener* listener = nullptr;
    GPtr<AtspiAccessible> focused;
    bool initialized = false;       // libatspi holds a bus connection, perhaps a dead one
    DBusConnection* bus = nullptr;  // that connection, referenced while initialized
    std::string registryOwner;      // the registry's unique name when it last listed us
    int checksWithoutBus = 0;
    int settleChecksLeft = 0;
    int checksSinceApplications = 0;
    std::string problem;  // the last reason logged for the bus being unusable

    std::atomic<bool> focusPassword = false;
    std::atomic<int> focusPid = 0;

    mutable std::mutex applicationsMutex;
    std::set<int> applicationPids;

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

    void setFocused(AtspiAccessible* accessible)
    {
        focused.reset(accessible ? static_cast<AtspiAccessible*>(g_object_ref(accessible)) : nullptr);
        if (!accessible) {
            focusPassword = false;
            focusPid = 0;
            return;
        }
        focusPassword = atspi_accessible_get_role(accessible, nullptr) == ATSPI_ROLE_PASSWORD_TEXT;
        focusPid = static_cast<int>(atspi_accessible_get_process_id(accessible, nullptr));
    }

    static void onFocusEvent(AtspiEvent* event, void* data)
    {
        auto* state = static_cast<State*>(data);
        if (event->source) {
            if (event->detail1)
                state->setFocused(event->source);
            else if (state->focused.get() == event->source)
                state->setFocused(nullptr);
        }
        g_boxed_free(ATSPI_TYPE_EVENT, event);
    }

    // The focused element, checked: the last one told, or when that lost focus without telling
    // (or nothing was told since we started), the one found in the active windows.
    AtspiAccessible* currentFocus()
    {
        if (focused && hasState(focused.get(), ATSPI_STATE_FOCUSED))
            return focused.get();
        const GPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
        AtspiAccessible* found = nullptr;
        int budget = searchLimit;
        const int apps = desktop ? atspi_accessible_get_child_count(desktop.get(), nullptr) : 0;
        for (int a = 0; a < apps && !found; ++a) {
            const GPtr<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), a, nullptr));
            const int windows = app ? atspi_accessible_get_child_count(app.get(), nullptr) : 0;
            for (int w = 0; w < windows && !found; ++w) {
                const GPtr<AtspiAccessible> window(atspi_accessible_get_child_at_index(app.get(), w, nullptr));
                if (window && hasState(window.get(), ATSPI_STATE_ACTIVE))
                    found = focusedBelow(window.get(), budget);
            }
        }
        setFocused(found);
        if (found)
            g_object_unref(found);
        return focused.get();
    }

    // The bus tells at once when the registry leaves or the connection drops: the next check could
    // come after the first key typed into a window that opened meanwhile.
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
                atspibus::isRegistryName(name) && state->usable())
                state->unusable("the accessibility registry restarted");
        }
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }

    // Connects libatspi to the bus and listens for focus; false when the bus cannot be reached.
    bool attach()
    {
        const int result = atspi_init();
        if (result != 0 && result != 1) {
            // libatspi counts a failed start as done; its end lets the next attempt try again.
            atspi_exit();
            return false;
        }
        initialized = true;
        // atspi_init() puts the bus on the default context, which the GUI thread runs; bring
        // it here at once, where every other call happens.
        atspi_set_main_context(context);
        // The checks look the focus up too: no application may stall them for long.
        atspi_set_timeout(healthCallTimeoutMs, -1);
        bus = dbus_connection_ref(atspi_get_a11y_bus());
        atspibus::watchRegistry(bus);
        dbus_connection_add_filter(bus, &State::onBusMessage, this, nullptr);
        listener = atspi_event_listener_new(&State::onFocusEvent, this, nullptr);
        listen();
        return true;
    }

    void listen()
    {
        GError* error = nullptr;
        if (!atspi_event_listener_register(listener, focusEvent, &error)) {
            Log::line(std::string("accessibility: no focus events: ") + (error ? error->message : "?"));
            g_clear_error(&error);
        }
    }

    // Lets go of a bus that went away, so that the next attach() reaches the new one.
    void detach()
    {
        setFocused(nullptr);
        if (listener) {
            atspi_event_listener_deregister(listener, focusEvent, nullptr);
            g_object_unref(listener);
            listener = nullptr;
        }
        if (bus) {
            dbus_connection_remove_filter(bus, &State::onBusMessage, this);
            dbus_connection_unref(bus);
            bus = nullptr;
        }
        atspi_exit();
        initialized = false;
        registryOwner.clear();
    }

    void unusable(const std::string& reason)
    {
        settleChecksLeft = 0;
        setFocused(nullptr);
        {
            std::lock_guard lock(applicationsMutex);
            applicationPids.clear();
        }
        setConnection(Connection::failed);
        if (reason != problem) {
            problem = reason;
            Log::line("accessibility: " + reason);
        }
    }

    void refreshApplications()
    {
        std::set<int> pids;
        const GPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
        const int count = desktop ? atspi_accessible_get_child_count(desktop.get(), nullptr) : 0;
        for (int i = 0; i < count; ++i) {
            const GPtr<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
            if (app)
                pids.insert(static_cast<int>(atspi_accessible_get_process_id(app.get(), nullptr)));
        }
        std::lock_guard lock(applicationsMutex);
        applicationPids = std::move(pids);
    }

    // Whether the bus can be trusted with the focus now; brings the session back when it can.
    void check(int timeoutMs)
    {
        if (initialized && !atspibus::connected(bus)) {
            detach();
            unusable("the AT-SPI bus went away");
        }
        if (!initialized) {
            if (checksWithoutBus++ % reconnectEveryChecks != 0 || !attach()) {
                unusable("the AT-SPI bus cannot be reached");
                return;
            }
            checksWithoutBus = 0;
        }
        const bool wasUsable = usable();
        // No answer is no news (a busy bus): the bus tells of a registry that leaves.
        const std::string owner = wasUsable ? atspibus::registryOwner(bus, healthCallTimeoutMs) : std::string();
        if (!owner.empty() && owner != registryOwner)
            unusable("the accessibility registry restarted");
        if (!wasUsable || !usable()) {
            if (!atspibus::registryListsUs(bus, timeoutMs)) {
                // libatspi registers again when it sees the new registry; ask as well, in case
                // it missed the old one leaving.
                atspi_event_listener_deregister(listener, focusEvent, nullptr);
                listen();
                unusable("the accessibility registry does not know us yet");
                return;
            }
            registryOwner = atspibus::registryOwner(bus, healthCallTimeoutMs);
            // Focus events sent while the registry did not list us never came: look it up.
            setFocused(nullptr);
            currentFocus();
            refreshApplications();
            if (problem.empty()) {
                setConnection(Connection::connected);
                return;
            }
            if (settleChecksLeft == 0)
                settleChecksLeft = settleChecks;
            if (--settleChecksLeft > 0)
                return;
            Log::line("accessibility: the AT-SPI bus answers again");
            problem.clear();
            setConnection(Connection::connected);
            return;
        }
        if (++checksSinceApplications >= applicationsEveryChecks) {
            checksSinceApplications = 0;
            refreshApplications();
        }
    }

    void main()
    {
        g_main_context_push_thread_default(context);
        // Each attempt on a bus that is not there makes libatspi warn on standard error; while
        // the attempts go on every second, the log's one line says it instead.
        g_log_set_handler(
            "dbind", G_LOG_LEVEL_WARNING, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        check(firstCheckTimeoutMs);
        GSource* timer = g_timeout_source_new(healthIntervalMs);
        g_source_set_callback(
            timer,
            [](gpointer data) -> gboolean {
                static_cast<State*>(data)->check(healthCallTimeoutMs);
                return G_SOURCE_CONTINUE;
            },
            this, nullptr);
        g_source_attach(timer, context);
        g_main_loop_run(loop);
        g_source_destroy(timer);
        g_source_unref(timer);
        if (initialized)
            detach();
        g_main_context_pop_thread_default(context);
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

std::set<int> AtspiSession::applications() const
{
    std::lock_guard lock(m_state->applicationsMutex);
    return m_state->applicationPids;
}

bool AtspiSession::run(std::function<void(AtspiAccessible*)> work, double callTimeout, double wait)
{
    if (!connected(wait))
        return false;
    struct Job {
        State* state = nullptr;
        std::function<void(AtspiAccessible*)> work;
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
            // The start-up grace libatspi gives new applications would let one stall us for 15 s.
            atspi_set_timeout(job->timeout, -1);
            // The bus may have gone since the job was queued; libatspi must not be asked then.
            job->work(job->state->usable() ? job->state->currentFocus() : nullptr);
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
