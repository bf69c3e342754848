// Span correction: one planned rewrite typed into the front application, the layout switched to
// the target and checked, and the rewrite recorded. Also the pieces the repairs share: the end of
// an actuation, the check that a paste landed and the judgement of what the screen shows.

#include "controller/AppController.h"
#include "controller/ExactDeletion.h"

#include "platform/Log.h"
#include "platform/Text.h"

#include <cstdio>

namespace kx {

namespace {

constexpr double switchCheckDelay = 0.3;
constexpr double screenRetryDelay = 0.25;
// How often, and how far apart, the text before the caret is read before a rewrite is given up.
constexpr int landedReads = 3;
constexpr double landedRereadDelay = 0.06;
constexpr std::uint16_t shiftKey = 56;
constexpr std::size_t screenQuoteLength = 12;

// The text before the caret and the stale text as the field keeps it, with the key taken back
// when it is still there: its Backspace, queued ahead, may take a character of the stale text
// with it (a mark typed after the Space joins it).
struct StaleOnScreen {
    std::string stale;
    std::string takenBack;
};

// A key taken back may or may not be gone from the screen yet. Some fields keep a key's
// compatibility character (the Arabic layout's lam-alef ligature) as the letters it stands for:
// those letters are then what is deleted. None when shown ends with neither form.
std::optional<StaleOnScreen> findStale(const std::string& shown, const std::string& typed, const std::string& takenBack)
{
    for (const std::string& stale : {typed, text::nfkc(typed)}) {
        for (const std::string& after : {std::string(), takenBack, text::nfkc(takenBack)}) {
            if (shown.ends_with(stale + after))
                return StaleOnScreen{stale, after};
        }
    }
    return std::nullopt;
}

std::string milliseconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", seconds * 1000);
    return text;
}

// Where the time from the decision to the posted rewrite goes.
std::string timingLine(const RewriteTiming& timing, double posted)
{
    return "rewrite timing: wait " + milliseconds(timing.reading - timing.decided) + ", read " +
           milliseconds(timing.read - timing.reading) + ", switch " + milliseconds(timing.switched - timing.read) +
           ", post " + milliseconds(posted - timing.switched);
}

}  // namespace

std::string AppController::lastCharacters(const std::string& s, std::size_t count)
{
    const auto characters = text::characters(s);
    std::string out;
    for (std::size_t i = characters.size() - std::min(count, characters.size()); i < characters.size(); ++i)
        out += characters[i];
    return out;
}

std::string AppController::trimTrailingSpaces(const std::string& s)
{
    const auto end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

void AppController::performSpanCorrection(const SpanCorrection& span)
{
    if (m_actuation.active())
        return;
    logCorrection(span.logLine, span.contextBefore);
    beginActuating();
    // The window the words were typed in: should it go (closed, say) before the rewrite is
    // typed, the keys would land in whichever window takes the focus next.
    const auto window = m_services.eventPoster->focusWindow();
    later(correctionDelay, [this, span, timing = RewriteTiming{.decided = m_services.main->now()}, window] {
        checkLandedThenRewrite(span, 1, timing, window);
    });
}

// Only text that landed counts: a key the application never got would have the Backspaces take
// a character before the word with them. An application still busy with the last keys shows them
// a moment later: the screen is read again before the rewrite is given up.
void AppController::checkLandedThenRewrite(const SpanCorrection& span, int attempt, RewriteTiming timing,
                                           std::optional<platform::FocusWindow> into)
{
    if (attempt == 1)
        timing.reading = m_services.main->now();
    const std::string takenBack = m_actuation.hold().takenBack();
    const int count =
        static_cast<int>(text::utf16Count(text::nfkc(span.originalText + takenBack))) + ExactDeletion::contextUnits;
    m_caret.readTail(
        count, screenReadTimeout,
        whileAlive([this, span, takenBack, attempt, timing, into](const std::optional<std::string>& shown) {
            const auto found = shown ? findStale(*shown, span.originalText, takenBack) : std::nullopt;
            if (shown && !found) {
                if (attempt < landedReads) {
                    later(landedRereadDelay, [this, span, attempt, timing, into] {
                        checkLandedThenRewrite(span, attempt + 1, timing, into);
                    });
                    return;
                }
                Log::line("rewrite abandoned: the text before the caret reads '…" +
                          lastCharacters(*shown, screenQuoteLength) + "', not '…" +
                          lastCharacters(span.originalText, screenQuoteLength) + "'");
                m_typing.forget();
                m_assembler.lastEmitted.reset();
                finishActuation(0, std::nullopt, ActuationStrategy::synthetic, "?", false);
                return;
            }
            RewriteTiming steps = timing;
            steps.read = m_services.main->now();
            switchNow(span.target, span.from, span.frontID);
            steps.switched = m_services.main->now();
            // A key taken back is deleted on its own ahead of the rewrite.
            const std::string stale = found ? found->stale + found->takenBack : span.originalText;
            const int alreadyPosted =
                found && !found->takenBack.empty() ? static_cast<int>(text::scalarCount(takenBack)) : 0;
            replaceExactly(
                shown, stale, span.insertText, span.strategy,
                [this, span, steps](bool posted) {
                    if (posted) {
                        debugLine(timingLine(steps, m_services.main->now()));
                        completeSpan(span);
                    }
                    else
                        rewriteNotPosted("rewrite");
                },
                alreadyPosted, into);
        }));
}

void AppController::completeSpan(const SpanCorrection& span)
{
    pushUndo({span.insertText, span.originalText, span.from, span.strategy, m_services.main->now()}, true);

    const Uuid recordID = recordCorrection(
        span.frontID, span.originalText, span.insertText, span.from.localizedName, span.target.localizedName,
        span.retroCount > 0 ? CorrectionKind::retro : CorrectionKind::auto_, span.retroCount);
    m_context.attach(recordID);

    m_actuation.setSwapSoundDue(m_sound.enabled());

    if (span.retroCount == 0)
        flash("↺ " + span.decisionOriginal + " → " + span.decisionCorrected);
    else
        flash("↺ fixed " + std::to_string(span.retroCount + 1) + " words → " + span.target.localizedName);

    // A word typed next must not reach back over the rewritten ones, nor Backspace restore one.
    m_typing.forget();
    m_assembler.lastEmitted.reset();

    finishActuation(tailAfter(span.strategy), span.insertText, span.strategy, span.frontID, false);
}

Uuid AppController::recordCorrection(const std::string& frontID, const std::string& original,
                                     const std::string& corrected, const std::string& fromLayout,
                                     const std::string& toLayout, CorrectionKind kind, int retroCount)
{
    const auto front = m_services.workspace->frontApplication();
    CorrectionRecord record;
    record.at = m_services.main->wallNow();
    record.appName = front && !front->name.empty() ? front->name : frontID;
    record.appBundleID = frontID;
    record.original = text::trimmed(original);
    record.corrected = text::trimmed(corrected);
    record.fromLayout = fromLayout;
    record.toLayout = toLayout;
    record.kind = kind;
    record.retroCount = retroCount;
    const Uuid id = record.id;
    // Where password fields cannot be recognised, the text may be one: only the statistics, which
    // hold no text, count it.
    if (frontAppReadable())
        m_history.add(std::move(record));
    else
        m_history.count(frontID, retroCount);
    return id;
}

void AppController::logCorrection(const std::string& line, const std::vector<std::string>& before)
{
    Log::line("[" + std::string(m_behavior.correctionMode().rawValue()) + "] " + line);
    if (!frontAppReadable()) {
        // Nothing typed there is kept, the words around the rewrite included.
        m_context.flush();
        return;
    }
    if (debugLogging() && !before.empty()) {
        std::string words;
        for (std::size_t i = 0; i < before.size(); ++i)
            words += (i > 0 ? ", '" : "'") + before[i] + "'";
        Log::line("  context before: " + words);
    }
    m_context.begin(line);
}

void AppController::switchNow(const KeyboardLayoutInfo& target, const KeyboardLayoutInfo& from, const std::string& app)
{
    if (target.id == from.id)
        return;
    switchLayoutOurselves(target);
    if (m_policy.usesClipboard(app))
        expectStaleKeys(from, target, StaleArm::ownSwitch);
    else
        m_repairs.endStaleWatch();
    m_assembler.keys.clear();
    verifySwitch(target, app);
}

void AppController::switchLayoutOurselves(const KeyboardLayoutInfo& layout)
{
    const auto current = m_registry.currentLayout();
    if (current && current->id == layout.id)
        return;
    m_repairs.noteOwnSwitch(current);
    if (current)
        m_actuation.ownSwitch(current->source.handle, layout.source.handle);
    m_keyLayout.ownSwitchMade();
    m_actuator.selectLayout(layout);
}

void AppController::verifySwitch(const KeyboardLayoutInfo& target, const std::string& app)
{
    later(switchCheckDelay, [this, target, app] {
        const auto current = m_registry.currentLayout();
        if (current && current->id != target.id)
            Log::line("switch DID NOT hold after 300ms: wanted " + target.localizedName + ", have " +
                      current->localizedName + " in " + app);
    });
}

double AppController::tailAfter(ActuationStrategy strategy) const
{
    return strategy == ActuationStrategy::synthetic && m_actuator.acknowledged() ? 0 : actuationTail;
}

void AppController::finishActuation(double after, std::optional<std::string> verifying, ActuationStrategy strategy,
                                    const std::string& app, bool isRepair)
{
    later(after, [this, verifying = std::move(verifying), strategy, app, isRepair] {
        if (strategy == ActuationStrategy::clipboard) {
            // Some browsers keep a modifier latched after a paste; a Shift tap releases it.
            m_actuator.postKey(shiftKey, EventFlags::shift, true);
            m_actuator.postKey(shiftKey, 0, false);
            if (verifying)
                verifyPasteLanded(*verifying, app, isRepair);
        }
        releaseHold();
    });
}

void AppController::verifyPasteLanded(const std::string& text, const std::string& app, bool isRepair)
{
    const std::string expected = trimTrailingSpaces(text);
    m_repairs.notePaste({expected, app, m_services.main->now(), isRepair});
    if (!debugLogging())
        return;
    const int count = static_cast<int>(text::utf16Count(text)) + 2;
    m_caret.readTail(count, screenReadTimeout, whileAlive([this, expected](std::optional<std::string> read) {
                         if (!read)
                             return;
                         const std::string shown = trimTrailingSpaces(*read);
                         if (!shown.ends_with(expected))
                             debugLine("screen after paste reads '…" + lastCharacters(shown, screenQuoteLength) +
                                       "', expected '…" + lastCharacters(expected, screenQuoteLength) +
                                       "' (may not be updated yet)");
                     }));
}

void AppController::judgeScreen(const std::string& correct, const std::string& stale, int attempt,
                                std::function<void(ScreenVerdict)> then)
{
    const std::string c = trimTrailingSpaces(correct);
    const std::string s = trimTrailingSpaces(stale);
    const int count = static_cast<int>(std::max(text::utf16Count(correct), text::utf16Count(stale))) + 2;
    m_caret.readTail(
        count, screenReadTimeout,
        whileAlive([this, c, s, correct, stale, attempt, then = std::move(then)](std::optional<std::string> read) {
            const auto shown = read ? std::optional<std::string>(trimTrailingSpaces(*read)) : std::nullopt;
            // When the right text is the end of the stale one (keys typed again after
            // an orphan), only the longer text tells them apart.
            if (shown && s.size() > c.size() && s.ends_with(c) && shown->ends_with(s)) {
                then(ScreenVerdict::stale());
                return;
            }
            if (shown && shown->ends_with(c)) {
                then(ScreenVerdict::correct());
                return;
            }
            if (shown && shown->ends_with(s)) {
                then(ScreenVerdict::stale());
                return;
            }
            if (attempt > 1) {
                then(ScreenVerdict::undecided(shown));
                return;
            }
            later(screenRetryDelay, [this, correct, stale, then] { judgeScreen(correct, stale, 2, then); });
        }));
}

}  // namespace kx
