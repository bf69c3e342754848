#include "onboarding/QtWindowPresenter.h"

#include "onboarding/SetupWindow.h"
#include "onboarding/WalkthroughWindow.h"

#include <QEvent>
#include <QWidget>

#include <utility>

namespace kx {

namespace {

// Runs a step once the window it watches hides (closing hides the onboarding windows), then goes.
class AfterClose : public QObject {
public:
    AfterClose(QWidget& window, std::function<void()> then) : QObject(&window), m_then(std::move(then))
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && m_then) {
            // Once the close is over, so that the next window is not shown from inside it.
            QMetaObject::invokeMethod(parent(), std::exchange(m_then, {}), Qt::QueuedConnection);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_then;
};

}  // namespace

void QtWindowPresenter::showWalkthrough()
{
    showAfter(m_setup, m_walkthrough, [] {
        WalkthroughWindow::shared().show();
        return WalkthroughWindow::shared().window();
    });
}

void QtWindowPresenter::showSetup()
{
    showAfter(m_walkthrough, m_setup, [] {
        SetupWindow::shared().show();
        return SetupWindow::shared().window();
    });
}

void QtWindowPresenter::showAfter(QWidget*& other, QWidget*& shown, const std::function<QWidget*()>& show)
{
    if (other && other->isVisible()) {
        if (m_waiting)
            return;
        m_waiting = true;
        new AfterClose(*other, [this, &shown, show] {
            m_waiting = false;
            shown = show();
        });
        return;
    }
    shown = show();
}

}  // namespace kx
