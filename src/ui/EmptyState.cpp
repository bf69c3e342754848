#include "ui/EmptyState.h"

#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QPainter>

namespace kx {

EmptyState::EmptyState(std::string symbol, const QString& title, const QString& description, QWidget* parent)
    : QWidget(parent), m_symbol(std::move(symbol)), m_title(title), m_description(description)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void EmptyState::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont titleFont = Typography::font(17, QFont::Bold);
    const QFont textFont = Typography::font(Typography::body);
    const int titleHeight = QFontMetrics(titleFont).height();
    const QRect textBounds = QFontMetrics(textFont).boundingRect(QRect(0, 0, width() - 48, 1000),
                                                                 Qt::AlignHCenter | Qt::TextWordWrap, m_description);
    const int symbolSide = 40;
    const int total = symbolSide + 12 + titleHeight + 6 + textBounds.height();
    int y = (height() - total) / 2;
    Symbols::paint(painter, QRectF((width() - symbolSide) / 2.0, y, symbolSide, symbolSide), m_symbol,
                   SystemColors::secondaryLabel(this));
    y += symbolSide + 12;
    painter.setFont(titleFont);
    painter.setPen(SystemColors::label(this));
    painter.drawText(QRect(0, y, width(), titleHeight), Qt::AlignCenter, m_title);
    y += titleHeight + 6;
    painter.setFont(textFont);
    painter.setPen(SystemColors::secondaryLabel(this));
    painter.drawText(QRect(24, y, width() - 48, textBounds.height()), Qt::AlignHCenter | Qt::TextWordWrap,
                     m_description);
}

}  // namespace kx
