#include "ui/HistoryWindow.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

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
        m_root = std::make_unique<RootView::Model>(tab);
        m_window = new QWidget;
        m_window->setWindowTitle(QString::fromUtf8("Kestrelix — Beta"));
        // Closing only hides it; the window, its tab and its views' state are kept.
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        m_view = new RootView(*m_root, context, makeDrillView, m_window);
        auto* layout = new QVBoxLayout(m_window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_view);
        m_window->resize(contentWidth, contentHeight);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(0, 0), m_window->size());
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    m_root->setTab(tab);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

}  // namespace kx
