#pragma once
// One user at the simulated desktop, typing sentences key by key into a text editor while the
// real controller, engine and oracles watch, with every enabled layout as the user set them.

#include "controller/AppController.h"
#include "controller/StatusItemView.h"
#include "controller/SuggestionPromptView.h"
#include "controller/WindowPresenter.h"
#include "platform/Defaults.h"
#include "platform/SerialQueue.h"
#include "platform/VirtualMainQueue.h"
#include "platform/sim/SimDesktop.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kx::bench {

/// How the wrong layout comes to be selected.
enum class Pattern {
    sentence,  // selected once; the whole sentence is typed on it unless the program switches
    perWord,   // the user selects it again before every word
    // typed on the right layout, the user coming back to it before every word from another one,
    // each of the others in turn
    backFromOther,
};

class TypingSession {
public:
    /// layouts: XKB names, all enabled at once ("us", "il", "ru", "ara").
    explicit TypingSession(const std::vector<std::string>& layouts);
    ~TypingSession();
    TypingSession(const TypingSession&) = delete;
    TypingSession& operator=(const TypingSession&) = delete;

    /// The keys that type sentence on layout, and a Space after the last word. A character with no
    /// key of its own is typed as its canonical decomposition: a Devanagari letter and its vowel
    /// sign key by key, a Greek vowel's accent with the dead key before the vowel. What no key
    /// types is left out and counted.
    std::vector<KeyStroke> strokes(const std::string& sentence, const std::string& layout);

    /// Presses keys with `active` selected and returns what the field then holds. The field and
    /// the program's memory of the words are cleared before the next sentence.
    std::string type(const std::vector<KeyStroke>& keys, const std::string& active, Pattern pattern);

    /// Characters of the sentences that no key types on their layout.
    int untypable() const { return m_untypable; }

private:
    struct NullStatusItem final : StatusItemView {
        void showGlyph(const StatusGlyph&) override {}
        void showText(const std::string&) override {}
        void setMenu(const StatusMenu&) override {}
    };
    struct NullPrompt final : SuggestionPromptView {
        void show(platform::ScreenPoint) override {}
        void hide() override {}
        bool contains(platform::ScreenPoint) const override { return false; }
    };
    struct NullWindows final : WindowPresenter {
        void showWalkthrough() override {}
        void showSetup() override {}
    };

    const std::map<std::string, KeyStroke>& keysOf(const std::string& layout);
    const std::map<char32_t, KeyStroke>& deadKeysOf(const std::string& layout);

    std::vector<std::string> m_layouts;
    std::size_t m_nextOther = 0;
    std::filesystem::path m_root;
    VirtualMainQueue m_queue;
    sim::SimDesktop m_desk{m_queue};
    MemoryDefaults m_defaults;
    std::unique_ptr<SerialQueue> m_actuationQueue = SerialQueue::inlineQueue();
    std::unique_ptr<SerialQueue> m_axQueue = SerialQueue::inlineQueue();
    std::unique_ptr<SerialQueue> m_warmUpQueue = SerialQueue::inlineQueue();
    NullStatusItem m_statusItem;
    NullPrompt m_prompt;
    NullWindows m_windows;
    std::unique_ptr<AppController> m_controller;
    std::map<std::string, std::map<std::string, KeyStroke>> m_keys;
    std::map<std::string, std::map<char32_t, KeyStroke>> m_deadKeys;
    int m_untypable = 0;
};

}  // namespace kx::bench
