// Deleting exactly the stale text before the caret. A field's Backspace may take a whole character
// cluster (a space with the combining mark typed after it, a letter with its vowel signs), so where
// such a cluster meets the stale text the Backspaces are checked against what the field shows, the
// rest are posted, and what went too far is typed again before the new text.

#include "controller/AppController.h"
#include "controller/ExactDeletion.h"

#include "platform/Log.h"

namespace kx {

namespace {

// The field takes the Backspaces in its own time; it is read again this soon.
constexpr double deletionRereadDelay = 0.015;

}  // namespace

void AppController::replaceExactly(const std::optional<std::string>& before, const std::string& stale,
                                   const std::string& text, ActuationStrategy strategy, std::function<void(bool)> done,
                                   int alreadyPosted, std::optional<platform::FocusWindow> into)
{
    auto plan = std::make_shared<ExactDeletion>(before, stale, alreadyPosted);
    if (!plan->readable() || plan->plain()) {
        postRewrite(
            whileAlive([this, backspaces = plan->firstBackspaces(), text, strategy, done = std::move(done), into] {
                const bool posted = m_actuator.replace(backspaces, text, strategy, into);
                soon([done, posted] { done(posted); });
            }));
        return;
    }
    // Nothing may be deleted that would not be followed by the new text.
    if (strategy == ActuationStrategy::synthetic && !m_services.eventPoster->canType(text)) {
        Log::line("rewrite given up before it began: '" + text + "' cannot be typed on this keyboard");
        done(false);
        return;
    }
    // From the first Backspace to the new text one rewrite is in flight: no key of the user's is
    // taken back in between, which would change the text being followed.
    m_actuation.rewriteQueued();
    followDeletion(
        plan, plan->firstBackspaces(), text, strategy,
        [this, done = std::move(done)](bool posted) {
            m_actuation.rewriteTyped();
            done(posted);
        },
        into);
}

void AppController::followDeletion(const std::shared_ptr<ExactDeletion>& plan, int backspaces, const std::string& text,
                                   ActuationStrategy strategy, std::function<void(bool)> done,
                                   std::optional<platform::FocusWindow> into)
{
    actuationQueue.async(whileAlive([this, plan, backspaces, text, strategy, done = std::move(done), into] {
        const bool posted = m_actuator.replace(backspaces, "", ActuationStrategy::synthetic, into);
        soon([this, plan, text, strategy, done, posted, into] {
            if (posted)
                checkDeletion(plan, text, strategy, done, into);
            else
                done(false);
        });
    }));
}

void AppController::checkDeletion(const std::shared_ptr<ExactDeletion>& plan, const std::string& text,
                                  ActuationStrategy strategy, std::function<void(bool)> done,
                                  std::optional<platform::FocusWindow> into)
{
    m_caret.readTail(
        plan->readCount(), screenReadTimeout,
        whileAlive([this, plan, text, strategy, done = std::move(done), into](const std::optional<std::string>& shown) {
            const ExactDeletion::Step step = plan->next(shown);
            switch (step.kind) {
            case ExactDeletion::Step::Kind::reread:
                later(deletionRereadDelay,
                      [this, plan, text, strategy, done, into] { checkDeletion(plan, text, strategy, done, into); });
                return;
            case ExactDeletion::Step::Kind::more:
                followDeletion(plan, step.backspaces, text, strategy, done, into);
                return;
            case ExactDeletion::Step::Kind::lost:
                Log::line(
                    "rewrite: the text before the caret could not be followed while deleting; typed as it stands");
                break;
            case ExactDeletion::Step::Kind::done:
                if (!step.restore.empty())
                    debugLine("rewrite: '" + loggable(step.restore) + "' went with the Backspaces and is typed again");
                break;
            }
            const std::string typed = step.restore + text;
            actuationQueue.async(whileAlive([this, typed, strategy, done, into] {
                const bool posted = m_actuator.replace(0, typed, strategy, into);
                soon([done, posted] { done(posted); });
            }));
        }));
}

}  // namespace kx
