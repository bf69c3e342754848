#include "onboarding/SetupWindow.h"

#include "onboarding/OnboardingServices.h"
#include "onboarding/SetupView.h"
#include "ui/WindowPlacement.h"

#include <QEvent>

namespace kx {

SetupWindow& SetupWindow::shared()
{
    const OnboardingServices& services = OnboardingServices::shared();
    // Never destroyed: its widgets may not outlive the application object, which goes first.
    static auto* window = new SetupWindow(*services.main, *services.permissions, *services.pages);
    return *window;
}

SetupWindow::SetupWindow(MainQueue& main, platform::Permissions& permissions, PageOpener& pages)
    : m_model(main, permissions), m_pages(pages)
{}

SetupWindow::~SetupWindow() = default;

void SetupWindow::show()
{
    if (!m_view) {
        m_view = std::make_unique<SetupView>(m_model, [this](platform::Permission permission) {
            const bool keyboard = permission == platform::Permission::inputMonitoring;
            m_pages.explainPermission(permission, keyboard ? m_model.missingForKeyboard() : std::vector<std::string>{});
        });
        m_view->setWindowTitle(QStringLiteral("Kestrelix Setup — Beta"));
        // Resizable: with large text or on a small screen the steps need more room than usual.
        WindowPlacement::prepare(
            *m_view, QSize(SetupView::viewWidth, SetupView::viewHeight).expandedTo(m_view->minimumSizeHint()), true);
        m_view->onDone = [this] { m_view->close(); };
        m_view->installEventFilter(this);
    }
    m_model.startPolling();
    WindowPlacement::bringForward(*m_view);
}

QWidget* SetupWindow::window() const
{
    return m_view.get();
}

bool SetupWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Closing hides the window; polling stays off until the next show().
    if (watched == m_view.get() && event->type() == QEvent::Close)
        m_model.stopPolling();
    return QObject::eventFilter(watched, event);
}

}  // namespace kx
