#include "controller/LayoutRepairs.h"

#include "engine/TranslationEngine.h"
#include "platform/Text.h"

#include <utility>

namespace kx {

const std::optional<PendingOrphan>& LayoutRepairs::captureOrphan(const std::vector<KeyStroke>& keys,
                                                                 const std::optional<KeyboardLayoutInfo>& layout,
                                                                 double at)
{
    m_orphan.reset();
    if (keys.empty() || keys.size() > orphanMaxLength || !layout)
        return m_orphan;
    std::string text = TranslationEngine::reconstruct(keys, layout->layoutData);
    if (!text.empty())
        m_orphan = PendingOrphan{keys, std::move(text), Script::forLanguage(layout->language()), at, std::nullopt};
    return m_orphan;
}

std::optional<PendingOrphan> LayoutRepairs::consumeOrphan(const std::string& typed,
                                                          const KeyboardLayoutInfo& wordLayout, double now)
{
    auto orphan = std::exchange(m_orphan, std::nullopt);
    if (!orphan || now - orphan->at >= orphanLifetime || typed.empty() ||
        orphan->script == Script::forLanguage(wordLayout.language()))
        return std::nullopt;
    return orphan;
}

void LayoutRepairs::expectStaleKeys(const KeyboardLayoutInfo& old, const KeyboardLayoutInfo& selected, StaleArm armedBy,
                                    double now)
{
    m_stale = StaleExpectation{old, selected, armedBy, now + staleKeyWindow, staleKeyWordStarts};
}

const SuspectStale* LayoutRepairs::watchWordStart(KeyStroke key, double now)
{
    if (!m_stale)
        return nullptr;
    auto& expectation = *m_stale;
    const auto o = TranslationEngine::character(key.code, key.flags, expectation.old.layoutData);
    const auto n = TranslationEngine::character(key.code, key.flags, expectation.new_.layoutData);
    if (now > expectation.deadline) {
        m_stale.reset();
    } else if (o && n && *o != *n && text::characterCount(*o) == 1 && text::characterCount(*n) == 1 &&
               Script::forLanguage(expectation.old.language()) != Script::forLanguage(expectation.new_.language())) {
        m_suspect = SuspectStale{*o, key, expectation.old, expectation.armedBy, now};
        m_stale.reset();
        return &*m_suspect;
    } else if (--expectation.wordStartsLeft < 1) {
        m_stale.reset();
    }
    return nullptr;
}

std::optional<SuspectStale> LayoutRepairs::takeSuspect(double now)
{
    auto suspect = std::exchange(m_suspect, std::nullopt);
    if (!suspect || now - suspect->at >= orphanLifetime)
        return std::nullopt;
    return suspect;
}

std::optional<LastPaste> LayoutRepairs::takePasteInto(const std::string& app, double now)
{
    if (!m_paste || m_paste->app != app || now - m_paste->at >= pasteMemory)
        return std::nullopt;
    return std::exchange(m_paste, std::nullopt);
}

void LayoutRepairs::forgetScreen()
{
    m_stale.reset();
    m_suspect.reset();
    m_paste.reset();
}

}  // namespace kx
