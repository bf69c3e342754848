#include "ui/PillLabel.h"

#include <QFontMetrics>
#include <QPainter>

namespace kx {

PillLabel::PillLabel(const QString& text, Look look, QWidget* parent)
    : QWidget(parent), m_text(text), m_look(std::move(look))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize PillLabel::sizeHint() const
{
    const QFontMetrics metrics(m_look.font);
    return {metrics.horizontalAdvance(m_text) + 2 * m_look.paddingX, metrics.height() + 2 * m_look.paddingY};
}

void PillLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    const double radius = m_look.radius < 0 ? r.height() / 2 : m_look.radius;
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_look.fill);
    painter.drawRoundedRect(r, radius, radius);
    painter.setFont(m_look.font);
    painter.setPen(m_look.text);
    painter.drawText(r, Qt::AlignCenter, m_text);
}

}  // namespace kx
