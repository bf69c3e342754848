#include "ui/Compositing.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>

#include <X11/Xlib.h>

#include <string>

namespace kx {

bool Compositing::active()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return true;
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != 0;
}

QRegion Compositing::roundedMask(const QSize& size, double radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

}  // namespace kx
