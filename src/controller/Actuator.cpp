#include "controller/Actuator.h"

#include "platform/KeyStroke.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <memory>

namespace kx {

namespace {

const char* const focusLeftLine = "rewrite abandoned: the keyboard focus left the window the text was typed in";

}  // namespace

PasteboardSnapshot::PasteboardSnapshot(platform::Pasteboard& pasteboard) : items(pasteboard.items()) {}

void PasteboardSnapshot::restore(platform::Pasteboard& pasteboard) const
{
    pasteboard.clearContents();
    if (!items.empty())
        pasteboard.writeItems(items);
}

Actuator::Actuator(platform::EventPoster& poster, platform::Pasteboard& pasteboard, platform::InputSources& sources,
                   MainQueue& main, Sleeper sleeper)
    : m_poster(poster), m_pasteboard(pasteboard), m_sources(sources), m_main(main), m_sleep(std::move(sleeper))
{}

bool Actuator::post(const platform::SyntheticKey& event)
{
    if (!m_poster.post(event))
        return false;
    // Where each post is acknowledged, the next one comes after it without a pause.
    if (!m_poster.acknowledges())
        m_sleep(postPause);
    return true;
}

bool Actuator::postAll(const std::vector<platform::SyntheticKey>& events)
{
    if (events.empty())
        return true;
    // One acknowledgement for the lot, and no key of anyone else's in between.
    if (m_poster.acknowledges())
        return m_poster.postBatch(events);
    bool all = true;
    bool downSkipped = false;
    for (const auto& event : events) {
        // A key-down that did not go out must not be followed by its key-up: the application
        // would see a release without a press.
        if (!event.down && downSkipped) {
            downSkipped = false;
            continue;
        }
        const bool posted = post(event);
        downSkipped = event.down && !posted;
        all = posted && all;
    }
    return all;
}

bool Actuator::focusStays(std::optional<platform::FocusWindow> window)
{
    if (!window || m_poster.focusStillIn(*window))
        return true;
    Log::line(focusLeftLine);
    return false;
}

bool Actuator::postAllInto(std::optional<platform::FocusWindow> window,
                           const std::vector<platform::SyntheticKey>& events)
{
    if (!window || events.empty() || !m_poster.acknowledges())
        return focusStays(window) && postAll(events);
    const auto outcome = m_poster.postBatchInto(*window, events);
    if (outcome == platform::BatchOutcome::focusLeft)
        Log::line(focusLeftLine);
    return outcome == platform::BatchOutcome::posted;
}

bool Actuator::postKey(std::uint16_t code, std::uint64_t flags, bool down)
{
    return post({.code = code, .flags = flags, .down = down, .text = {}, .marked = true});
}

void Actuator::addPair(std::vector<platform::SyntheticKey>& events, const platform::SyntheticKey& down)
{
    events.push_back(down);
    events.push_back(down);
    events.back().down = false;
}

bool Actuator::tapKey(std::uint16_t code, std::uint64_t flags, int sourceHandle)
{
    std::vector<platform::SyntheticKey> events;
    addPair(events,
            {.code = code, .flags = flags, .down = true, .text = {}, .marked = true, .sourceHandle = sourceHandle});
    return postAll(events);
}

void Actuator::addText(std::vector<platform::SyntheticKey>& events, const std::string& text)
{
    for (const auto& character : text::characters(text))
        addPair(events, {.code = 0, .flags = 0, .down = true, .text = character, .marked = true});
}

bool Actuator::insert(const std::string& text)
{
    std::vector<platform::SyntheticKey> events;
    addText(events, text);
    return postAll(events);
}

bool Actuator::paste(const std::string& text)
{
    if (text.empty())
        return true;
    // While an earlier paste's text is still on the pasteboard, the user's copy is the one that
    // paste saved: saving again would keep our own text and lose theirs.
    std::shared_ptr<const PasteboardSnapshot> snapshot;
    {
        const std::lock_guard lock(m_unrestoredMutex);
        if (m_unrestored && m_pasteboard.changeCount() == m_unrestored->written)
            snapshot = m_unrestored->snapshot;
    }
    if (!snapshot) {
        auto saved = m_pasteboard.itemsWithin(snapshotTimeout);
        if (!saved) {
            // Pasting would lose the user's copy, and waiting for it would hold the keyboard.
            Log::line("pasteboard: the clipboard could not be saved in time — typing instead of pasting");
            return insert(text);
        }
        snapshot = std::make_shared<const PasteboardSnapshot>(std::move(*saved));
    }
    m_pasteboard.clearContents();
    m_pasteboard.setString(text);
    const auto written = m_pasteboard.changeCount();
    {
        const std::lock_guard lock(m_unrestoredMutex);
        m_unrestored = Unrestored{snapshot, written};
    }
    m_sleep(pasteSettle);
    const bool pasted = tapKey(vKey, EventFlags::command);
    m_restores.after(restoreDelay, [this, snapshot, written] {
        // Something the user copied meanwhile, or a later paste, wins over what we saved.
        if (m_pasteboard.changeCount() == written)
            snapshot->restore(m_pasteboard);
        const std::lock_guard lock(m_unrestoredMutex);
        if (m_unrestored && m_unrestored->written == written)
            m_unrestored.reset();
    });
    return pasted;
}

bool Actuator::replace(int deleteCount, const std::string& text, ActuationStrategy strategy,
                       std::optional<platform::FocusWindow> into)
{
    if (strategy == ActuationStrategy::synthetic && !m_poster.canType(text)) {
        Log::line("rewrite given up before it began: '" + text + "' cannot be typed on this keyboard");
        return false;
    }
    std::vector<platform::SyntheticKey> events;
    for (int i = 0; i < deleteCount; ++i)
        addPair(events, {.code = backspaceKey, .flags = 0, .down = true, .text = {}, .marked = true});
    // Typed, the whole rewrite goes as one.
    if (strategy == ActuationStrategy::synthetic) {
        addText(events, text);
        return postAllInto(into, events);
    }
    // Pasted, the Backspaces and the paste go apart: the focus is looked at before each.
    if (!focusStays(into))
        return false;
    bool all = postAll(events);
    m_sleep(clipboardPause);
    if (!focusStays(into))
        return false;
    auto characters = text::characters(text);
    const std::string last = characters.empty() ? std::string() : characters.back();
    if (last != " " && last != "\t")
        return paste(text) && all;
    // Some applications drop a blank at the end of pasted text; typing it as a key always lands.
    all = paste(text.substr(0, text.size() - last.size())) && all;
    m_sleep(clipboardPause);
    return tapKey(last == " " ? spaceKey : tabKey, 0) && all;
}

bool Actuator::copySelection()
{
    return tapKey(cKey, EventFlags::command);
}

void Actuator::selectLayout(const KeyboardLayoutInfo& layout)
{
    if (std::this_thread::get_id() == m_mainThread) {
        m_sources.select(layout.source);
        return;
    }
    platform::InputSources* sources = &m_sources;
    m_main.async([sources, source = layout.source] { sources->select(source); });
}

}  // namespace kx
