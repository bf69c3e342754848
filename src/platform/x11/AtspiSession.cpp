#include "platform/x11/AtspiSession.h"

#include "platform/Log.h"

#include <atspi/atspi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kx::platform::x11 {

namespace {

// The fallback search for the focused element stops after this many elements, so that a huge
// application (a spreadsheet, a web page) cannot keep the session busy.
constexpr int searchLimit = 2000;

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

    std::atomic<bool> focusPassword = false;
    std::atomic<int> focusPid = 0;

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

    void main()
    {
        g_main_context_push_thread_default(context);
        const int result = atspi_init();
        if (result != 0 && result != 1) {
            Log::line("accessibility: the AT-SPI bus cannot be reached");
            setConnection(Connection::failed);
        } else {
            // atspi_init() puts the bus on the default context, which the GUI thread runs; bring
            // it here at once, where every other call happens.
            atspi_set_main_context(context);
            listener = atspi_event_listener_new(&State::onFocusEvent, this, nullptr);
            GError* error = nullptr;
            if (!atspi_event_listener_register(listener, "object:state-changed:focused", &error)) {
                Log::line(std::string("accessibility: no focus events: ") + (error ? error->message : "?"));
                g_clear_error(&error);
            }
            setConnection(Connection::connected);
        }
        g_main_loop_run(loop);
        if (listener) {
            atspi_event_listener_deregister(listener, "object:state-changed:focused", nullptr);
            g_object_unref(listener);
        }
        focused.reset();
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
            job->work(job->state->currentFocus());
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
