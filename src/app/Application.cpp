#include "app/Application.h"

#include "app/KeyboardUnavailable.h"
#include "app/QuitSignals.h"
#include "controller/AppController.h"
#include "controller/LaunchOptions.h"
#include "controller/Permissions.h"
#include "engine/NgramModel.h"
#include "onboarding/DrillView.h"
#include "onboarding/OnboardingServices.h"
#include "onboarding/QtWindowPresenter.h"
#include "platform/AutostartLoginItem.h"
#include "platform/Defaults.h"
#include "platform/HeadlessInputSources.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/SerialQueue.h"
#include "platform/SpellChecker.h"
#include "platform/x11/AtspiAccessibility.h"
#include "platform/x11/AtspiSession.h"
#include "platform/x11/CanberraSound.h"
#include "platform/x11/ClipboardKeeper.h"
#include "platform/x11/QtMainQueue.h"
#include "platform/x11/QtPasteboard.h"
#include "platform/x11/QtPointer.h"
#include "platform/x11/X11Compositor.h"
#include "platform/x11/X11EventPoster.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/X11InputSources.h"
#include "platform/x11/X11InstanceLock.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11Permissions.h"
#include "platform/x11/X11SecureInput.h"
#include "platform/x11/X11Workspace.h"
#include "platform/x11/XConnection.h"
#include "ui/Compositing.h"
#include "ui/HistoryWindow.h"
#include "ui/MessageAlert.h"
#include "ui/SuggestionPrompt.h"
#include "ui/TrayStatusItem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <pthread.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

namespace kx {

namespace {

/// Why this session cannot run the corrector, or nothing when it can.
std::string missingSession()
{
    const char* display = std::getenv("DISPLAY");
    const char* sessionType = std::getenv("XDG_SESSION_TYPE");
    if (sessionType && std::string(sessionType) == "wayland")
        return "Kestrelix: this is a Wayland session, which is not supported yet; log in to an X11 session";
    if (!display || !*display)
        return "Kestrelix: no X11 display (DISPLAY is not set); Kestrelix needs an X11 session";
    return {};
}

// Lets a rewrite being typed end and the user's clipboard come back, so that quitting neither
// leaves half a rewrite nor our text in the clipboard; the event loop runs meanwhile, as the
// rewrite needs it. Bounded, since a stuck application must not keep us from quitting.
void finishWork(const AppController& controller)
{
    constexpr qint64 longestWaitMs = 3000;
    QElapsedTimer clock;
    clock.start();
    while (controller.busy() && clock.elapsed() < longestWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    if (controller.busy())
        Log::line("quit: a rewrite did not finish in time");
}

// Says who keeps this launch out, on standard error only: the log is the running instance's, and
// what this launch held back for it is dropped with the process.
void refuseSecondInstance(const std::string& holder)
{
    std::cerr << "Kestrelix: another instance is already running \u2014 exiting\n";
    if (!holder.empty())
        std::cerr << "Kestrelix: it is held by " << holder << '\n';
}

}  // namespace

int Application::run(int argc, char** argv)
{
    if (const std::string missing = missingSession(); !missing.empty()) {
        std::cerr << missing << '\n';
        return 1;
    }
    // Our own windows (the drill's field above all) must be readable over the accessibility bus.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Qt's own event dispatcher rather than GLib's: nothing of ours needs GLib's default context
    // (the accessibility session runs a context of its own on its own thread), and the windows and
    // the tray were proven on the desktop with it.
    qputenv("QT_NO_GLIB", "1");

    // Checked before Qt connects, which would abort on a display it cannot open.
    if (!platform::x11::openDisplay()) {
        std::cerr << "Kestrelix: cannot open the X11 display " << std::getenv("DISPLAY") << '\n';
        return 1;
    }
    platform::x11::X11InstanceLock instanceLock(nullptr, Paths::shared().runtimeDir());
    if (instanceLock.tryAcquire("app.kestrelix.instance") == platform::LockResult::heldElsewhere) {
        refuseSecondInstance(instanceLock.holder());
        return 0;
    }
    const auto keyboard = platform::x11::X11Keyboard::open();
    if (!keyboard) {
        std::string missing;
        if (const auto display = platform::x11::openDisplay())
            missing = Permissions::joinedNames(platform::x11::missingExtensions(display.get()));
        std::cerr << "Kestrelix: the X11 display lacks " << (missing.empty() ? "its keyboard extensions" : missing)
                  << "; Kestrelix stays off\n";
    }
    QApplication app(argc, argv);
    app.setApplicationName("Kestrelix");
    app.setQuitOnLastWindowClosed(false);
    std::unique_ptr<QSocketNotifier> instanceRequests;
    if (instanceLock.fd() >= 0) {
        instanceRequests = std::make_unique<QSocketNotifier>(instanceLock.fd(), QSocketNotifier::Read);
        QObject::connect(instanceRequests.get(), &QSocketNotifier::activated,
                         [&instanceLock] { instanceLock.answerRequests(); });
        // What Xlib read while claiming is queued already: the socket will not say so again.
        instanceLock.answerRequests();
    }
    std::unique_ptr<platform::InputSources> inputSources = platform::x11::X11InputSources::open(keyboard);
    if (!inputSources)
        inputSources = std::make_unique<platform::HeadlessInputSources>();

    platform::x11::QtMainQueue mainQueue;
    JsonDefaults defaults(Paths::shared().defaultsFile());
    NgramModel::setDefaults(&defaults);
    std::unique_ptr<platform::EventPoster> poster;
    std::unique_ptr<platform::EventTap> tap;
    platform::x11::X11EventTap* x11Tap = nullptr;
    if (keyboard) {
        auto x11Poster = std::make_unique<platform::x11::X11EventPoster>(keyboard);
        // Caught keys the tap hands on go out through the poster.
        auto grabbingTap = std::make_unique<platform::x11::X11EventTap>(keyboard, *x11Poster);
        x11Tap = grabbingTap.get();
        tap = std::move(grabbingTap);
        poster = std::move(x11Poster);
    } else {
        tap = std::make_unique<UnavailableEventTap>();
        poster = std::make_unique<UnavailableEventPoster>();
    }
    platform::x11::QtPasteboard pasteboard;
    platform::x11::AtspiSession atspi;
    platform::x11::AtspiAccessibility accessibility(atspi);
    platform::x11::X11Workspace workspace;
    platform::x11::X11SecureInput secureInput(atspi, workspace);
    secureInput.ignoreOwnGrabs([x11Tap] { return x11Tap && x11Tap->ownsKeyboardGrab(); });
    platform::x11::X11Permissions permissions(atspi);
    platform::AutostartLoginItem loginItem;
    platform::x11::CanberraSound sound;
    platform::x11::QtPointer pointer;
    platform::x11::X11Compositor compositor;
    Compositing::useDesktop(&compositor);
    const auto actuationQueue = SerialQueue::threaded("app.kestrelix.actuation");
    const auto axQueue = SerialQueue::threaded("app.kestrelix.ax");
    const auto warmUpQueue = SerialQueue::threaded("app.kestrelix.languages");

    TrayStatusItem tray;
    SuggestionPrompt prompt;
    QtWindowPresenter windows;
    MessageAlert alerts;

    AppServices services;
    services.main = &mainQueue;
    services.defaults = &defaults;
    services.inputSources = inputSources.get();
    services.eventTap = tap.get();
    services.eventPoster = poster.get();
    services.pasteboard = &pasteboard;
    services.accessibility = &accessibility;
    services.secureInput = &secureInput;
    services.permissions = &permissions;
    services.workspace = &workspace;
    services.loginItem = &loginItem;
    services.sound = &sound;
    services.spellChecker = &platform::SpellChecker::shared();
    services.pointer = &pointer;
    services.actuationQueue = actuationQueue.get();
    services.axQueue = axQueue.get();
    services.warmUpQueue = warmUpQueue.get();
    // A dictionary load may never return (a personal word list that is a FIFO): quitting must not
    // wait for it.
    services.detach = [](Block block) {
        std::thread([block = std::move(block)] {
            pthread_setname_np(pthread_self(), "kx.dictionary");
            block();
        }).detach();
    };
    services.sleeper = realSleeper();
    services.statusItem = &tray;
    services.suggestionPrompt = &prompt;
    services.windows = &windows;
    services.settingsWindow = &HistoryWindow::shared();
    services.alerts = &alerts;
    services.version = KX_VERSION;
    services.bundlePath = QCoreApplication::applicationFilePath().toStdString();
    services.launchOptions = LaunchOptions::shared();

    AppController controller(std::move(services));
    OnboardingServices::shared() = {.main = &mainQueue,
                                    .defaults = &defaults,
                                    .permissions = &permissions,
                                    .pages = &controller.pages(),
                                    .eventPoster = poster.get(),
                                    .inputSources = inputSources.get(),
                                    .history = &controller.history()};
    HistoryWindow::shared().makeDrillView = [](LayoutRegistry& registry) -> QWidget* {
        return new DrillView(registry);
    };
    tray.onMenuNeedsUpdate = [&controller] { controller.rebuildMenu(); };
    tray.onCommand = [&controller](const MenuCommand& command) { controller.performMenuCommand(command); };
    // Without a tray nothing of ours is on screen: the settings window is the way in.
    tray.onNoTray = [&controller] {
        std::cerr << "Kestrelix: no system tray found \u2014 showing the settings window; the menu needs a tray\n";
        Log::line("no system tray found \u2014 showing the settings window");
        HistoryWindow::shared().withoutTakingFocus(
            [&controller] { controller.performMenuCommand({.action = MenuAction::openSettings}); });
    };

    QTimer::singleShot(0, &app, [&controller] { controller.start(); });
    const QuitSignals quitSignals;
    const int status = app.exec();
    finishWork(controller);
    // A clipboard we own goes to the session's clipboard manager as Qt ends; without one, to a
    // process of ours. Not while our own paste may still be in it.
    if (!controller.busy())
        pasteboard.keepAfterQuit(platform::x11::ClipboardKeeper::executable());
    Log::flush();
    return status;
}

}  // namespace kx
