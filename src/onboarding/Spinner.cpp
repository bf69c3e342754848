#include "onboarding/Spinner.h"

#include "ui/SystemColors.h"

#include <QPainter>

namespace kx {

Spinner::Spinner(int diameter, QWidget* parent) : QWidget(parent)
{
    setFixedSize(diameter, diameter);
    m_timer.setInterval(33);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 12) % 360;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max(1.5, width() / 8.0);
    const QRectF box = QRectF(rect()).adjusted(pen, pen, -pen, -pen);
    painter.setPen(QPen(SystemColors::withAlpha(SystemColors::secondaryLabel(this), 0.25), pen));
    painter.drawEllipse(box);
    painter.setPen(QPen(SystemColors::secondaryLabel(this), pen, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(box, -m_angle * 16, 100 * 16);
}

void Spinner::showEvent(QShowEvent*)
{
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent*)
{
    m_timer.stop();
}

}  // namespace kx
