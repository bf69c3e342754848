#include "ui/SwitchButton.h"

#include "ui/FocusRing.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QPainter>

namespace kx {

SwitchButton::SwitchButton(const QString& accessibleName, QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setAccessibleName(accessibleName);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SwitchButton::sizeHint() const
{
    return QSize(qRound(Typography::scaled(38)), qRound(Typography::scaled(22)));
}

void SwitchButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? SystemColors::blue() : SystemColors::tertiaryLabel(this));
    painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);

    const double d = r.height() - 4;
    const double x = isChecked() ? r.right() - 2 - d : r.left() + 2;
    const QRectF knob(x, r.top() + 2, d, d);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob.translated(0, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    painter.setOpacity(1);
    FocusRing::paint(painter, *this, rect(), height() / 2.0, isChecked());
}

}  // namespace kx
