#include "onboarding/WalkthroughWindow.h"

#include "onboarding/OnboardingServices.h"
#include "onboarding/WalkthroughView.h"
#include "ui/WindowPlacement.h"

#include <QEvent>
#include <QPointer>

namespace kx {

WalkthroughWindow& WalkthroughWindow::shared()
{
    const OnboardingServices& services = OnboardingServices::shared();
    // Never destroyed: its widgets may not outlive the application object, which goes first.
    static auto* window =
        new WalkthroughWindow(*services.main, *services.permissions, *services.pages, *services.defaults);
    return *window;
}

WalkthroughWindow::WalkthroughWindow(MainQueue& main, platform::Permissions& permissions, PageOpener& pages,
                                     Defaults& defaults)
    : m_model(main, permissions), m_permissions(permissions), m_pages(pages), m_defaults(defaults)
{}

WalkthroughWindow::~WalkthroughWindow()
{
    m_model.onFinish = nullptr;
}

void WalkthroughWindow::show()
{
    if (!m_view) {
        m_view = std::make_unique<WalkthroughView>(m_model, [this](platform::Permission permission) {
            m_pages.explainPermission(permission, m_permissions.missingParts(permission));
        });
        m_view->setWindowTitle(QStringLiteral("Kestrelix"));
        // Larger text takes more room than the usual size, as far as the screen has it.
        WindowPlacement::prepare(
            *m_view, QSize(WalkthroughView::openWidth, WalkthroughView::openHeight).expandedTo(m_view->sizeHint()),
            false);
        m_view->installEventFilter(this);
    }
    m_model.onFinish = [window = QPointer<QWidget>(m_view.get())] {
        if (window)
            window->close();
    };
    m_model.restart();
    m_defaults.set(seenKey, true);
    WindowPlacement::bringForward(*m_view);
}

QWidget* WalkthroughWindow::window() const
{
    return m_view.get();
}

bool WalkthroughWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view.get() && event->type() == QEvent::Close)
        m_model.stop();
    return QObject::eventFilter(watched, event);
}

}  // namespace kx
