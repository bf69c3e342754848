#include "ui/HistoryWindow.h"

#include "ui/FocusStyle.h"
#include "ui/WindowPlacement.h"

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace kx {

HistoryWindow& HistoryWindow::shared()
{
    static HistoryWindow instance;
    return instance;
}

HistoryWindow::~HistoryWindow()
{
    if (QCoreApplication::instance())
        delete m_window;
}

void HistoryWindow::show(const SettingsContext& context, RootView::Tab tab)
{
    if (!m_window) {
        FocusStyle::install();
        m_root = std::make_unique<RootView::Model>(tab);
        m_window = new QWidget;
        m_window->setWindowTitle(QString::fromUtf8("Kestrelix — Beta"));
        // Closing only hides it; the window, its tab and its views' state are kept.
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        m_view = new RootView(*m_root, context, makeDrillView, m_window);
        auto* layout = new QVBoxLayout(m_window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_view);
        // Larger text asks for more room than the usual size; a small screen gives less, and the
        // tabs scroll what does not fit.
        m_window->setMinimumSize(
            QSize(RootView::minimumWidth, RootView::minimumHeight).expandedTo(m_window->minimumSizeHint()));
        // Taller than usual where the page asks for it and the screen has the room: nothing opens
        // cut off at the bottom that could have been shown.
        const QSize wanted(contentWidth, std::max(contentHeight, m_view->pageHeight()));
        WindowPlacement::fit(*m_window, wanted.expandedTo(m_window->minimumSize()), true);
        WindowPlacement::closeOnKeys(*m_window);
    }
    m_root->setTab(tab);
    if (m_withoutFocus) {
        // Nobody asked for it: it comes up behind the keys, which stay where the user is typing.
        if (!m_window->isVisible()) {
            m_window->setAttribute(Qt::WA_ShowWithoutActivating, true);
            m_window->show();
            m_window->setAttribute(Qt::WA_ShowWithoutActivating, false);
        }
        return;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void HistoryWindow::withoutTakingFocus(const std::function<void()>& open)
{
    m_withoutFocus = true;
    open();
    m_withoutFocus = false;
}

}  // namespace kx
