// The event tap: what happens to each key-down and mouse-down, the keys held back during a
// rewrite, and what a key types here and on the other layouts.

#include "controller/AppController.h"

#include "controller/SuggestionPromptView.h"
#include "engine/TranslationEngine.h"
#include "engine/WordEndMark.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace kx {

namespace {

constexpr std::uint64_t modifierMask = 0x1E0000;  // Shift, Control, Option, Command
constexpr std::uint64_t optionCommand = EventFlags::option | EventFlags::command;
constexpr std::uint64_t shortcutMask = EventFlags::control | EventFlags::command;
constexpr std::uint16_t kKey = 40;
constexpr std::uint16_t zKey = 6;

bool isMouseDown(platform::TapEventType type)
{
    return type == platform::TapEventType::leftMouseDown || type == platform::TapEventType::rightMouseDown;
}

// The text is exactly one character (grapheme cluster); its first scalar, or 0.
char32_t singleCharacter(const std::optional<std::string>& text)
{
    if (!text || text::characterCount(*text) != 1)
        return 0;
    return text::toScalars(*text).front();
}

// The text is exactly one Unicode scalar; that scalar, or 0.
char32_t singleScalar(const std::optional<std::string>& text)
{
    if (!text)
        return 0;
    const auto scalars = text::toScalars(*text);
    return scalars.size() == 1 ? scalars.front() : 0;
}

}  // namespace

void AppController::dropPendingSuggestionLater()
{
    if (!m_suggestion.pending())
        return;
    // After the event: a suggestion that this very key's word arms is dropped with it.
    soon([this] { dropPendingSuggestion(); });
}

platform::TapVerdict AppController::handleTapEvent(const platform::TapEvent& event)
{
    for (int stage = 0; stage <= static_cast<int>(TapStage::observeKey); ++stage)
        if (const auto verdict = runTapStage(static_cast<TapStage>(stage), event))
            return *verdict;
    return platform::TapVerdict::pass;
}

std::optional<platform::TapVerdict> AppController::runTapStage(TapStage stage, const platform::TapEvent& event)
{
    using platform::TapEventType;
    using platform::TapVerdict;

    const std::uint16_t code = event.code;
    const std::uint64_t flags = event.flags;
    switch (stage) {
    case TapStage::enableTapAgain:
        if (event.type != TapEventType::disabledByTimeout && event.type != TapEventType::disabledByUserInput)
            return std::nullopt;
        if (tap)
            tap->enable();
        return TapVerdict::pass;
    case TapStage::placeLayoutSwitch:
        if (event.type != TapEventType::layoutSelected)
            return std::nullopt;
        m_keyLayout.layoutSelected(event.sourceHandle);
        m_actuation.switchPlaced(event.sourceHandle);
        return TapVerdict::pass;
    case TapStage::passOwnEvent:
        return event.marked ? std::optional(TapVerdict::pass) : std::nullopt;
    case TapStage::promptClick:
        return event.type == TapEventType::leftMouseDown && m_services.suggestionPrompt->contains(event.location)
                   ? std::optional(TapVerdict::pass)
                   : std::nullopt;
    case TapStage::mouseDown:
        if (!isMouseDown(event.type))
            return std::nullopt;
        forgetTyping(TypingBreak::mouseDown);
        return TapVerdict::pass;
    case TapStage::hotKey:
        if (event.type != TapEventType::keyDown)
            return TapVerdict::pass;
        if ((flags & modifierMask) != optionCommand || (code != kKey && code != zKey))
            return std::nullopt;
        m_assembler.keys.clear();
        // With nothing to undo the chord is not ours: an application may have a use for it.
        if (code == zKey && m_undoStack.empty() && !m_actuation.active())
            return TapVerdict::pass;
        if (code == kKey)
            soon([this] { handleConvertHotKey(); });
        else
            soon([this] { performUndo(); });
        return TapVerdict::swallow;
    case TapStage::commandZ:
        if (!canUndoWithCmdZ(event))
            return std::nullopt;
        performUndo();
        return TapVerdict::swallow;
    case TapStage::countKey:
        if (!sawFirstKey) {
            sawFirstKey = true;
            Log::line("tap is receiving key events ✓");
        }
        keysSeen += 1;
        return std::nullopt;
    case TapStage::passwordField:
        return screenField(event);
    case TapStage::holdDuringRewrite:
        if (m_actuation.active() && (flags & shortcutMask) == 0 &&
            (!event.delivered || takeBackDeliveredKey(code, flags))) {
            if (m_actuation.holdKey({{code, flags}, event.sourceHandle}))
                return TapVerdict::swallow;
            Log::line("hold full at " + std::to_string(m_actuation.hold().keys().size()) +
                      " keys — letting one through");
        }
        return std::nullopt;
    case TapStage::observeKey:
        keyGen += 1;
        m_actuation.keyPassed(event.keptBack);
        dropPendingSuggestionLater();
        followKeyLayout(event.sourceHandle);
        observeKey(code, flags, m_registry.layoutTypedIn(event.sourceHandle));
        return TapVerdict::pass;
    }
    return std::nullopt;
}

// The key path never waits for the focus to be looked up: a key into a field not known yet is
// treated as one into a password field, and so is the rest of its word once the field is known.
// That word is never rewritten nor kept, even when the field turns out to be a plain one: part of
// it was typed where nobody watched. Words after it are watched as usual.
std::optional<platform::TapVerdict> AppController::screenField(const platform::TapEvent& event)
{
    using Field = platform::SecureInput::Field;
    const Field field = m_services.secureInput->fieldAtKey();
    // Without the accessibility service a password field cannot be told from any other: the key
    // is treated as one typed into a password field.
    if (field == Field::open && noteAccessibility(m_services.accessibility->isReachable())) {
        if (!m_unknownFieldWord)
            return std::nullopt;
        m_unknownFieldWord = !endsWord(event);
        return platform::TapVerdict::pass;
    }
    forgetTyping(TypingBreak::secureInput);
    m_unknownFieldWord = field == Field::unknown && !endsWord(event);
    return platform::TapVerdict::pass;
}

void AppController::focusAnswered(platform::SecureInput::Field field)
{
    if (field == platform::SecureInput::Field::unknown) {
        const auto front = m_services.workspace->frontApplication();
        debugLine("focus look-up pending: front process " + std::to_string(front ? front->pid : 0));
        return;
    }
    if (field == platform::SecureInput::Field::secure) {
        forgetTyping(TypingBreak::secureInput);
        m_unknownFieldWord = false;
    }
    debugLine(field == platform::SecureInput::Field::secure ? "focus looked up: a password field, or the keyboard held"
                                                            : "focus looked up: no password field");
}

// Whether the key ends the word in progress for the word assembler, or breaks it off: a space, a
// tab, a key that moves the caret, a shortcut, or a mark that ends words on its layout.
bool AppController::endsWord(const platform::TapEvent& event) const
{
    if (event.code == KeyCode::tab || event.code == KeyCode::space || WordAssembler::breaksWord(event.code))
        return true;
    if (event.flags & shortcutMask)
        return true;
    const auto layout = m_registry.layoutTypedIn(event.sourceHandle);
    const char32_t typed =
        layout ? singleScalar(TranslationEngine::character(event.code, event.flags, layout->layoutData)) : 0;
    return typed != 0 && !WordAssembler::quoteFamily().contains(typed) && WordEndMark::scalars().contains(typed);
}

// A quick typist switches layouts and types at once: the first key in the new layout can reach us
// before the desktop's notice of the switch. The switch came before that key, so it is handled now.
void AppController::followKeyLayout(int sourceHandle)
{
    if (const auto at = m_keyLayout.followKey(sourceHandle, m_services.main->now()))
        userSwitchedLayout(*at);
}

bool AppController::canUndoWithCmdZ(const platform::TapEvent& event) const
{
    return !m_actuation.active() && event.code == zKey && (event.flags & modifierMask) == EventFlags::command &&
           m_undoStack.cmdZApplies(keyGen, m_services.main->now());
}

void AppController::beginActuating()
{
    m_actuation.begin();
}

void AppController::releaseHold()
{
    m_actuation.release([this](std::vector<HeldKey> held) { return replayHeldKeys(std::move(held)); },
                        [this](bool swapSoundDue) {
                            if (swapSoundDue)
                                m_sound.preview();
                        });
}

void AppController::postRewrite(Block job)
{
    m_actuation.rewriteQueued();
    auto typed = whileAlive([this] { m_actuation.rewriteTyped(); });
    actuationQueue.async([this, job = std::move(job), typed = std::move(typed)] {
        job();
        m_services.main->async(typed);
    });
}

void AppController::rewriteNotPosted(const std::string& what)
{
    Log::line(what + " — its keys could not be posted; nothing recorded");
    finishActuation(0, std::nullopt, ActuationStrategy::synthetic, "?", false);
}

bool AppController::takeBackDeliveredKey(std::uint16_t code, std::uint64_t flags)
{
    // Typed before the rewrite starts, its Backspaces run first, and the key is typed again with
    // the held keys after the rewrite. Once the rewrite is queued that order can't be had: the
    // key stays where it landed.
    const auto current = m_registry.currentLayout();
    const auto typed = current ? TranslationEngine::character(code, flags, current->layoutData) : std::nullopt;
    if (!typed || typed->empty() || !m_actuation.takeBack(*typed))
        return false;
    const std::size_t count = text::scalarCount(*typed);
    actuationQueue.async(whileAlive([this, count] {
        for (std::size_t i = 0; i < count; ++i)
            m_actuator.tapKey(Actuator::backspaceKey, 0);
    }));
    return true;
}

std::vector<HeldKey> AppController::replayHeldKeys(std::vector<HeldKey> held)
{
    if (held.empty())
        return {};
    // A key typed before our own switch, in the layout it left, was meant for the new one. Any
    // other key is typed in the layout it was typed in (after our switch, the user's own choice),
    // whatever is selected meanwhile.
    const auto& stale = m_repairs.staleExpectation();
    const auto selected = stale ? std::optional<KeyboardLayoutInfo>(stale->new_) : m_registry.currentLayout();
    std::vector<HeldKey> left;
    for (std::size_t i = 0; i < held.size(); ++i) {
        const KeyStroke& key = held[i].stroke;
        const int handle = m_actuation.replayHandle(i, held[i]);
        keyGen += 1;
        // Only a key that went out is part of the text.
        if (!m_actuator.tapKey(key.code, key.flags, handle)) {
            Log::line("held key " + std::to_string(key.code) + " could not be typed again");
            continue;
        }
        followKeyLayout(handle);
        observeKey(key.code, key.flags, handle < 0 ? selected : m_registry.layoutTypedIn(handle));
        if (m_actuation.active()) {
            // That key finished a word that started another rewrite: the rest wait for its end.
            left.assign(held.begin() + static_cast<std::ptrdiff_t>(i) + 1, held.end());
            break;
        }
    }
    debugLine("replayed " + std::to_string(held.size() - left.size()) + " key(s) held during the rewrite");
    return left;
}

void AppController::observeKey(std::uint16_t code, std::uint64_t flags,
                               const std::optional<KeyboardLayoutInfo>& current)
{
    m_keyLayout.keyObservedIn(current);

    if (m_assembler.keys.empty()) {
        if (const SuspectStale* suspect = m_repairs.watchWordStart({code, flags}, m_services.main->now()))
            debugLine("first key after " + std::string(suspect->armedBy == StaleArm::ownSwitch ? "switch" : "paste") +
                      " may read '" + suspect->text + "' on screen — checking when the word completes");
    }

    const auto producedChar = current ? TranslationEngine::character(code, flags, current->layoutData) : std::nullopt;

    // A dead key's accent belongs to the letter after it, so on its layout, the current one
    // included, the key is part of the word (the Greek tonos, on the key of ";" elsewhere).
    bool letterElsewhere = current && TranslationEngine::deadAccent(code, flags, current->layoutData) != 0;
    for (const auto& layout : m_registry.layouts) {
        if (letterElsewhere)
            break;
        if (current && layout.id == current->id)
            continue;
        const char32_t c = singleCharacter(TranslationEngine::character(code, flags, layout.layoutData));
        if ((c != 0 && text::isLetter(c)) || TranslationEngine::deadAccent(code, flags, layout.layoutData) != 0) {
            letterElsewhere = true;
            break;
        }
    }

    // Every enabled layout, and the current one even when the registry does not list it.
    std::vector<const KeyboardLayoutInfo*> everyLayout;
    bool currentListed = false;
    for (const auto& layout : m_registry.layouts) {
        everyLayout.push_back(&layout);
        currentListed = currentListed || (current && layout.id == current->id);
    }
    if (current && !currentListed)
        everyLayout.push_back(&*current);

    bool quoteElsewhere = false;
    for (const auto* layout : everyLayout) {
        const char32_t c = singleCharacter(TranslationEngine::character(code, flags, layout->layoutData));
        if (c != 0 && WordAssembler::quoteFamily().contains(c)) {
            quoteElsewhere = true;
            break;
        }
    }

    bool endsWordMark = false;
    if (!quoteElsewhere) {
        const auto& marks = WordEndMark::scalars();
        const char32_t here = singleScalar(producedChar);
        endsWordMark = here != 0 && marks.contains(here);
        for (const auto* layout : everyLayout) {
            if (endsWordMark)
                break;
            const char32_t c = singleScalar(TranslationEngine::character(code, flags, layout->layoutData));
            endsWordMark = c != 0 && marks.contains(c);
        }
    }

    m_assembler.handleKeyDown(code, flags, producedChar, letterElsewhere, endsWordMark, quoteElsewhere);
}

}  // namespace kx
