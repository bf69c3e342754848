#include "controller/AppController.h"

#include "controller/LoginItem.h"
#include "controller/StatusItemView.h"
#include "controller/SuggestionPromptView.h"
#include "controller/WindowPresenter.h"
#include "engine/FrequencyOracle.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <utility>

#include <unistd.h>

namespace kx {

namespace {

constexpr const char* seenWalkthroughKey = "kestrelix.seenWalkthrough";
constexpr const char* loginItemOfferedKey = "kestrelix.loginItemOffered";

// The walkthrough opens once the status item has settled on screen.
constexpr double walkthroughDelay = 0.4;
// A drill asked for on the command line opens the settings window once the corrector is up; the
// drill starts itself from there.
constexpr double drillWindowDelay = 1.0;

}  // namespace

std::string AppController::arrayNotation(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += '"';
        for (char c : items[i]) {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
        out += '"';
    }
    return out + "]";
}

const char* AppController::boolText(bool value)
{
    return value ? "true" : "false";
}

AppController::AppController(AppServices services)
    : m_registry(*services.inputSources),
      m_assembler(*services.main),
      m_speller(*services.spellChecker),
      m_policy(*services.defaults, *services.workspace),
      m_history(*services.defaults, Paths::shared().historyFile()),
      m_pages(*services.workspace, *services.pasteboard, services.alerts),
      actuationQueue(*services.actuationQueue),
      m_actuation(*services.main,
                  [this] {
                      Log::line("actuation watchdog — releasing " + std::to_string(m_actuation.hold().keys().size()) +
                                " held key(s)");
                      releaseHold();
                  }),
      m_sound(*services.defaults, *services.sound),
      m_behavior(*services.defaults),
      m_status(services, m_behavior,
               {.menu = [this] { return currentMenu(); },
                .startCorrector = [this] { startCorrector(); },
                .refreshed =
                    [this] {
                        // The lists load with the corrector, off the main thread; until they are
                        // in every list would read as missing, and asking would wait for them.
                        // Their arrival refreshes the status.
                        if (m_status.started() && !m_languageLoad.loading())
                            m_status.noteMissingWordLists(missingWordLists());
                        // The closed menu is not built, yet every application worked in belongs
                        // in the Apps tab.
                        StatusMenu::noteFront(*m_services.workspace, m_policy, ::getpid());
                        if (m_behavior.correctionMode() != CorrectionMode::ask)
                            dropPendingSuggestion();
                    }}),
      m_suggestion(*services.main, *services.suggestionPrompt),
      m_context(*services.main, m_history, [this](const std::string& line) { debugLine(line); }),
      m_keyLayout(*services.main),
      m_debugLogging(services.defaults->boolean(debugLoggingKey).value_or(false)),
      m_services(std::move(services)),
      m_actuator(*m_services.eventPoster, *m_services.pasteboard, *m_services.inputSources, *m_services.main,
                 m_services.sleeper),
      m_caret(*m_services.accessibility, *m_services.axQueue, *m_services.main)
{}

AppController::~AppController()
{
    // Blocks still running on the worker queues report back through the main queue, where the
    // controller's whileAlive turns them away; they must not outlive the members they use.
    m_services.actuationQueue->waitUntilIdle();
    m_services.axQueue->waitUntilIdle();
    m_services.warmUpQueue->waitUntilIdle();
}

LanguageOracle& AppController::frequency()
{
    if (!m_frequency) {
        m_frequency = std::make_unique<FrequencyOracle>(m_speller, FrequencyOracle::resourceBundle());
        m_loadedFrequency = std::make_unique<LoadedLanguagesOracle>(*m_frequency, m_languageLoad);
    }
    return *m_loadedFrequency;
}

bool AppController::languageLoaded(const std::string& language)
{
    if (m_languageLoad.ready(language))
        return true;
    if (m_languagesLoadingNoted.insert(language).second)
        Log::line("language " + language + " is still loading — words that need it are left as typed");
    return false;
}

void AppController::later(double seconds, std::function<void()> block)
{
    m_delayed.after(seconds, std::move(block));
}

void AppController::soon(std::function<void()> block)
{
    m_delayed.after(0, std::move(block));
}

void AppController::debugLine(const std::string& line) const
{
    if (m_debugLogging)
        Log::line(line);
}

std::string AppController::frontBundleID() const
{
    const auto front = m_services.workspace->frontApplication();
    return front && !front->id.empty() ? front->id : "?";
}

std::optional<std::string> AppController::frontApplicationID() const
{
    const auto front = m_services.workspace->frontApplication();
    if (!front || front->id.empty())
        return std::nullopt;
    return front->id;
}

void AppController::dropPendingSuggestion()
{
    m_suggestion.drop();
}

void AppController::forgetTyping(TypingBreak reason)
{
    // What each break leaves behind: the text before the caret may still be the one typed (a
    // break the assembler saw in the keys, a password field), or it may be another text altogether.
    struct Forget {
        bool wordInProgress, undo, orphan, repairs, context, suggestionAfterEvent;
    };
    // clang-format off
    static constexpr Forget forgets[] = {
        //                  word   undo   orphan repairs context suggestionAfterEvent
        /* discontinuity */ {false, true,  true,  true,  false,  false},
        /* appSwitch */     {false, false, false, true,  true,   false},
        /* mouseDown */     {true,  true,  false, true,  true,   true},
        /* secureInput */   {true,  false, false, false, false,  true},
    };
    // clang-format on
    const Forget& forget = forgets[static_cast<int>(reason)];
    if (forget.wordInProgress) {
        m_assembler.keys.clear();
        m_unknownFieldWord = false;
    }
    m_typing.forget();
    if (forget.undo)
        m_undoStack.clear();
    if (forget.orphan)
        m_repairs.dropOrphan();
    if (forget.repairs)
        m_repairs.forgetScreen();
    if (forget.context)
        m_context.flush();
    if (forget.suggestionAfterEvent)
        dropPendingSuggestionLater();
    else
        dropPendingSuggestion();
}

void AppController::start()
{
    Log::reset();
    Log::line("launch — build " + (m_services.version.empty() ? std::string("dev") : m_services.version));

    if (m_services.launchOptions.forceSetup || !m_services.defaults->boolean(seenWalkthroughKey).value_or(false))
        later(walkthroughDelay, [this] { m_services.windows->showWalkthrough(); });

    m_assembler.onWord = [this](const std::vector<KeyStroke>& keys, const WordAssembler::Terminator& terminator) {
        handleWord(keys, terminator);
    };
    m_services.suggestionPrompt->onClick = whileAlive([this] { handlePromptClick(); });

    cancellables.push_back(m_behavior.correctionModeChanged.subscribe([this](CorrectionMode mode) {
        Log::line("correction mode → " + std::string(mode.rawValue()));
        if (mode != CorrectionMode::ask)
            dropPendingSuggestion();
        updateStatusGlyph();
    }));

    m_assembler.onOrphanBreak = [this] { m_repairs.dropOrphan(); };
    m_assembler.onRestoreLastWord = [this](const std::vector<KeyStroke>& keys) { m_typing.restore(keys); };
    m_assembler.onDiscontinuity = [this] { forgetTyping(TypingBreak::discontinuity); };

    m_layoutObserver = m_services.inputSources->subscribe([this] {
        m_registry.refresh();
        const auto current = m_registry.currentLayout();
        const double now = m_services.main->now();
        // Where keys tell their layout, the first key typed in the new one ends the word: keys
        // typed before the switch may still be on their way.
        if (m_keyLayout.layoutChanged(current ? current->source.handle : -1, now) ==
            KeyLayoutFollower::Notice::userSwitch)
            userSwitchedLayout(now);
    });

    cancellables.push_back(m_services.workspace->subscribeActivation(
        [this](const platform::RunningApplication&) { forgetTyping(TypingBreak::appSwitch); }));

    // The desktop shows its own prompts where it has them; the answers come from the polling below.
    m_services.permissions->request(platform::Permission::accessibility);
    m_services.permissions->request(platform::Permission::inputMonitoring);

    m_status.watchPermissions();
}

void AppController::startCorrector()
{
    m_registry.refresh();
    std::vector<std::string> languages;
    std::vector<std::pair<std::string, std::string>> namesAndLanguages;
    for (const auto& layout : m_registry.layouts) {
        languages.push_back(layout.language());
        namesAndLanguages.emplace_back(layout.localizedName, layout.language());
    }
    // Dictionaries, lists and models load on workers while the tap goes in; the layouts line says
    // what they hold once they are in, and the status and the menu show it.
    frequency();
    m_languageLoad.start(*m_services.warmUpQueue, m_services.detach, *m_services.main, *m_frequency,
                         *m_services.spellChecker, languages,
                         whileAlive([this, namesAndLanguages] {
                             logEnabledLayouts(namesAndLanguages);
                             refreshRuntimeStatus();
                         }));
    if (m_registry.layouts.size() < 2)
        Log::line("need at least 2 enabled keyboard layouts to do anything useful");

    installTap();
    rebuildMenu();
    Log::line("ready — correction mode: " + std::string(m_behavior.correctionMode().rawValue()));

    if (!m_services.defaults->boolean(loginItemOfferedKey).value_or(false)) {
        m_services.defaults->set(loginItemOfferedKey, true);
        LoginItem::setEnabled(*m_services.loginItem, true);
    }
    if (m_services.launchOptions.drillPace)
        later(drillWindowDelay, [this] { openWindow(SettingsTab::general); });
}

void AppController::logEnabledLayouts(const std::vector<std::pair<std::string, std::string>>& namesAndLanguages)
{
    std::vector<std::string> descriptions;
    for (const auto& [name, language] : namesAndLanguages) {
        const bool hasList = frequency().frequency("probe", language).kind != Frequency::Kind::noList;
        descriptions.push_back(name + "[" + language + "]dict=" + boolText(frequency().canCheck(language)) +
                               " freq=" + boolText(hasList));
    }
    Log::line("enabled layouts = " + arrayNotation(descriptions));
}

void AppController::installTap()
{
    if (tap)
        return;
    const bool installed = m_services.eventTap->install(
        [this, alive = std::weak_ptr<const char>(m_life)](const platform::TapEvent& event) {
            return alive.lock() ? handleTapEvent(event) : platform::TapVerdict::pass;
        });
    if (!installed) {
        Log::line("FAILED to create event tap — grant Accessibility + Input Monitoring, then relaunch");
        return;
    }
    tap = m_services.eventTap;
    m_actuation.attach(tap);
    m_services.secureInput->onFocusAnswered(
        whileAlive([this](platform::SecureInput::Field field) { focusAnswered(field); }));
    Log::line("event tap installed");
}

}  // namespace kx
