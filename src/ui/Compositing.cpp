#include "ui/Compositing.h"

#include "platform/Compositor.h"

#include <QPainterPath>
#include <QRegion>

namespace kx {

namespace {

platform::Compositor* desktopCompositor = nullptr;

}  // namespace

void Compositing::useDesktop(platform::Compositor* desktop)
{
    desktopCompositor = desktop;
}

bool Compositing::active()
{
    return !desktopCompositor || desktopCompositor->active();
}

QRegion Compositing::roundedMask(const QSize& size, double radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

}  // namespace kx
