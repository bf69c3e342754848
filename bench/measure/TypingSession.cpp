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

TypingSession::TypingSession(const std::vector<std::string>& layouts) : m_layouts(layouts)
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

const std::map<char32_t, KeyStroke>& TypingSession::deadKeysOf(const std::string& layout)
{
    auto found = m_deadKeys.find(layout);
    if (found == m_deadKeys.end())
        found = m_deadKeys.emplace(layout, TranslationEngine::deadKeyMap(platform::KeyTable::forLayout(layout))).first;
    return found->second;
}

std::vector<KeyStroke> TypingSession::strokes(const std::string& sentence, const std::string& layout)
{
    const auto& keys = keysOf(layout);
    const auto& deadKeys = deadKeysOf(layout);
    std::vector<KeyStroke> result;
    for (const std::string& character : text::characters(sentence + " ")) {
        if (const auto key = keys.find(character); key != keys.end()) {
            result.push_back(key->second);
            continue;
        }
        std::vector<KeyStroke> pressed;
        std::size_t letter = 0;  // where the last letter's key is: its dead keys go before it
        for (const char32_t scalar : text::toScalars(text::nfd(character))) {
            if (const auto key = keys.find(text::fromScalar(scalar)); key != keys.end()) {
                letter = pressed.size();
                pressed.push_back(key->second);
            } else if (const auto dead = deadKeys.find(scalar); dead != deadKeys.end() && !pressed.empty()) {
                pressed.insert(pressed.begin() + static_cast<std::ptrdiff_t>(letter), dead->second);
                letter += 1;
            } else {
                m_untypable += 1;
            }
        }
        result.insert(result.end(), pressed.begin(), pressed.end());
    }
    return result;
}

std::string TypingSession::type(const std::vector<KeyStroke>& keys, const std::string& active, Pattern pattern)
{
    m_desk.switchLayout(active);
    bool wordStart = true;
    for (const KeyStroke& key : keys) {
        const bool space = key.code == KeyCode::space;
        if (wordStart && !space && pattern == Pattern::perWord && m_desk.inputSources().currentName() != active) {
            m_queue.advance(switchPause);
            m_desk.switchLayout(active);
        }
        if (wordStart && !space && pattern == Pattern::backFromOther && m_layouts.size() > 1) {
            std::string other;
            while ((other = m_layouts[m_nextOther++ % m_layouts.size()]) == active) {
            }
            m_queue.advance(switchPause);
            m_desk.switchLayout(other);
            m_queue.advance(switchPause);
            m_desk.switchLayout(active);
        }
        wordStart = space;
        m_desk.press(key.code, key.flags);
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
