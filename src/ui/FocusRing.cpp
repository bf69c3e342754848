#include "ui/FocusRing.h"

#include "ui/SystemColors.h"

#include <QPainter>
#include <QWidget>

namespace kx {

namespace {
constexpr double ringWidth = 2;
}

bool FocusRing::shown(const QWidget& widget)
{
    return widget.hasFocus() && widget.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void FocusRing::paint(QPainter& painter, const QWidget& widget, const QRectF& shape, double radius, bool onAccent)
{
    if (!shown(widget))
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(SystemColors::withAlpha(SystemColors::accent(&widget), 0.8), ringWidth));
    // Inside the widget, which cannot paint beyond its own rectangle.
    const double half = ringWidth / 2;
    painter.drawRoundedRect(shape.adjusted(half, half, -half, -half), std::max(0.0, radius - half),
                            std::max(0.0, radius - half));
    if (onAccent) {
        const double inset = ringWidth + half;
        painter.setPen(QPen(widget.palette().color(QPalette::Base), ringWidth));
        painter.drawRoundedRect(shape.adjusted(inset, inset, -inset, -inset), std::max(0.0, radius - inset),
                                std::max(0.0, radius - inset));
    }
    painter.restore();
}

}  // namespace kx
