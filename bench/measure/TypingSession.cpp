#include "TypingSession.h"

#include "SimServices.h"
#include "engine/FrequencyOracle.h"
#include "engine/TranslationEngine.h"
#include "platform/KeyStroke.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <unistd.h>

namespace kx::bench {
namespace {

const sim::SimApplication editor{.id = "org.gnome.gedit", .name = "Text Editor", .pid = 400, .electron = false};

// A brisk typist: the controller's own waits (0.04 s before a rewrite, 0.12 s after) fall
// between keys, as they do at this pace on a real desktop.
constexpr double keyInterval = 0.1;
// A user reaching for the layout shortcut after a Space.
constexpr double switchPause = 0.3;
// Longer than every memory of the controller (recent words 20 s, pending context 15 s).
constexpr double betweenSentences = 30.0;

}  // namespace

TypingSession::TypingSession(const std::vector<std::string>& layouts)
{
    m_root = std::filesystem::temp_directory_path() / ("kx-measure-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_root);
    Paths::setShared(Paths::underRoot(m_root));
    Log::setUrl(m_root / "kestrelix.log");
    FrequencyOracle::setResourceBundle(std::filesystem::path(KX_SOURCE_RESOURCE_DIR));
    m_defaults.set("kestrelix.seenWalkthrough", true);
    m_defaults.set("kestrelix.correctionMode", std::string("automatic"));
    m_desk.setLayouts(layouts);
    m_desk.launch(editor);
    m_desk.activate(editor.id);

    AppServices services;
    services.main = &m_queue;
    services.defaults = &m_defaults;
    test::provide(m_desk, services);
    services.spellChecker = &platform::SpellChecker::shared();
    services.actuationQueue = m_actuationQueue.get();
    services.axQueue = m_axQueue.get();
    services.warmUpQueue = m_warmUpQueue.get();
    services.sleeper = [](double) {};
    services.statusItem = &m_statusItem;
    services.suggestionPrompt = &m_prompt;
    services.windows = &m_windows;
    m_controller = std::make_unique<AppController>(std::move(services));
    m_controller->start();
    m_queue.runUntilIdle();
}

TypingSession::~TypingSession()
{
    m_controller.reset();
    Log::flush();
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

const std::map<std::string, KeyStroke>& TypingSession::keysOf(const std::string& layout)
{
    auto found = m_keys.find(layout);
    if (found == m_keys.end())
        found = m_keys.emplace(layout, TranslationEngine::inverseMap(platform::KeyTable::forLayout(layout))).first;
    return found->second;
}

std::string TypingSession::type(const std::string& sentence, const std::string& meant, const std::string& active,
                                Pattern pattern)
{
    const auto& keys = keysOf(meant);
    m_desk.switchLayout(active);
    bool wordStart = true;
    for (const std::string& character : text::characters(sentence + " ")) {
        if (wordStart && character != " " && pattern == Pattern::perWord &&
            m_desk.inputSources().currentName() != active) {
            m_queue.advance(switchPause);
            m_desk.switchLayout(active);
        }
        wordStart = character == " ";
        const auto key = keys.find(character);
        if (key == keys.end()) {
            m_untypable += 1;
            continue;
        }
        m_desk.press(key->second.code, key->second.flags);
        m_queue.advance(keyInterval);
    }
    m_queue.advance(1.0);
    std::string result = m_desk.focusedField()->text();
    // Return breaks off the typing, and the pause lets every memory of these words expire.
    m_desk.press(KeyCode::return_);
    m_queue.advance(betweenSentences);
    m_desk.focusedField()->setText("");
    return result;
}

}  // namespace kx::bench
