#include "controller/Actuator.h"

#include "engine/KeyStroke.h"
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
{
}

void Actuator::post(const platform::SyntheticKey& event)
{
    if (m_poster.post(event))
        pause();
}

void Actuator::pause()
{
    if (!m_poster.acknowledges())
        m_sleep(postPause);
}

void Actuator::postKey(std::uint16_t code, std::uint64_t flags, bool down)
{
    post({.code = code, .flags = flags, .down = down, .text = {}, .marked = true});
}

// A key-down that did not go out must not be followed by its key-up: the application would see
// a release without a press.
void Actuator::keyPair(std::uint16_t code, std::uint64_t flags)
{
    if (!m_poster.post({.code = code, .flags = flags, .down = true, .text = {}, .marked = true}))
        return;
    pause();
    postKey(code, flags, false);
}

void Actuator::tapKey(std::uint16_t code, std::uint64_t flags)
{
    keyPair(code, flags);
}

void Actuator::insert(const std::string& text)
{
    for (const auto& character : text::characters(text)) {
        if (!m_poster.post({.code = 0, .flags = 0, .down = true, .text = character, .marked = true}))
            continue;
        pause();
        post({.code = 0, .flags = 0, .down = false, .text = character, .marked = true});
    }
}

void Actuator::paste(const std::string& text)
{
    if (text.empty())
        return;
    auto saved = m_pasteboard.itemsWithin(snapshotTimeout);
    if (!saved) {
        // Pasting would lose the user's copy, and waiting for it would hold the keyboard.
        Log::line("pasteboard: the clipboard could not be saved in time — typing instead of pasting");
        insert(text);
        return;
    }
    auto snapshot = std::make_shared<PasteboardSnapshot>(std::move(*saved));
    m_pasteboard.clearContents();
    m_pasteboard.setString(text);
    const auto written = m_pasteboard.changeCount();
    m_sleep(pasteSettle);
    keyPair(vKey, EventFlags::command);
    platform::Pasteboard* pasteboard = &m_pasteboard;
    *m_restoresDue += 1;
    m_main.after(restoreDelay, [pasteboard, snapshot, written, due = m_restoresDue] {
        // Something the user copied meanwhile wins over what we saved.
        if (pasteboard->changeCount() == written)
            snapshot->restore(*pasteboard);
        *due -= 1;
    });
}

void Actuator::replace(int deleteCount, const std::string& text, ActuationStrategy strategy)
{
    for (int i = 0; i < deleteCount; ++i) {
        postKey(backspaceKey, 0, true);
        postKey(backspaceKey, 0, false);
    }
    if (strategy == ActuationStrategy::synthetic) {
        insert(text);
        return;
    }
    m_sleep(clipboardPause);
    auto characters = text::characters(text);
    const std::string last = characters.empty() ? std::string() : characters.back();
    if (last != " " && last != "\t") {
        paste(text);
        return;
    }
    // Some applications drop a blank at the end of pasted text; typing it as a key always lands.
    paste(text.substr(0, text.size() - last.size()));
    m_sleep(clipboardPause);
    tapKey(last == " " ? spaceKey : tabKey, 0);
}

void Actuator::copySelection()
{
    keyPair(cKey, EventFlags::command);
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
