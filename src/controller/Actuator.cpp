#include "controller/Actuator.h"

#include "platform/KeyStroke.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <memory>

namespace kx {

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

bool Actuator::postKey(std::uint16_t code, std::uint64_t flags, bool down)
{
    return post({.code = code, .flags = flags, .down = down, .text = {}, .marked = true});
}

// A key-down that did not go out must not be followed by its key-up: the application would see
// a release without a press.
bool Actuator::keyPair(std::uint16_t code, std::uint64_t flags)
{
    return postKey(code, flags, true) && postKey(code, flags, false);
}

bool Actuator::tapKey(std::uint16_t code, std::uint64_t flags, int sourceHandle)
{
    if (sourceHandle < 0)
        return keyPair(code, flags);
    return post({.code = code,
                 .flags = flags,
                 .down = true,
                 .text = {},
                 .marked = true,
                 .sourceHandle = sourceHandle}) &&
           post(
               {.code = code, .flags = flags, .down = false, .text = {}, .marked = true, .sourceHandle = sourceHandle});
}

bool Actuator::insert(const std::string& text)
{
    bool all = true;
    for (const auto& character : text::characters(text)) {
        if (!post({.code = 0, .flags = 0, .down = true, .text = character, .marked = true})) {
            all = false;
            continue;
        }
        all = post({.code = 0, .flags = 0, .down = false, .text = character, .marked = true}) && all;
    }
    return all;
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
    const bool pasted = keyPair(vKey, EventFlags::command);
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

bool Actuator::replace(int deleteCount, const std::string& text, ActuationStrategy strategy)
{
    if (strategy == ActuationStrategy::synthetic && !m_poster.canType(text)) {
        Log::line("rewrite given up before it began: '" + text + "' cannot be typed on this keyboard");
        return false;
    }
    bool all = true;
    for (int i = 0; i < deleteCount; ++i) {
        all = postKey(backspaceKey, 0, true) && all;
        all = postKey(backspaceKey, 0, false) && all;
    }
    if (strategy == ActuationStrategy::synthetic)
        return insert(text) && all;
    m_sleep(clipboardPause);
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
    return keyPair(cKey, EventFlags::command);
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
