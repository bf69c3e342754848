#include "onboarding/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kx {

void WindowPlacement::prepare(QWidget& window)
{
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window.setFixedSize(window.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        window.move(available.center() - QPoint(window.width() / 2, window.height() / 2));
    }
}

void WindowPlacement::bringForward(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace kx
