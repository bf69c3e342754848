#include "ui/LockMark.h"

#include "ui/FocusRing.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"

#include <QFocusEvent>
#include <QPainter>
#include <QToolTip>

namespace kx {

namespace {
constexpr int ringRoom = 4;
}

LockMark::LockMark(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setToolTip(reason());
    setAccessibleName(QStringLiteral("Always off"));
    setAccessibleDescription(reason());
}

QString LockMark::reason()
{
    return QString::fromUtf8("Always off: in a terminal or a remote desktop, a rewritten word could run as a "
                             "command or reach another computer, so Kestrelix never changes what is typed there.");
}

QSize LockMark::sizeHint() const
{
    return QSize(side + 2 * ringRoom, side + 2 * ringRoom);
}

void LockMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF mark(QPointF((width() - side) / 2.0, (height() - side) / 2.0), QSizeF(side, side));
    painter.drawPixmap(mark.topLeft(), Symbols::pixmap("lock.fill", side, SystemColors::tertiaryLabel(this)));
    FocusRing::paint(painter, *this, QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5);
}

void LockMark::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // A tip is for the pointer; a keyboard user gets the same words where the focus is.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        QToolTip::showText(mapToGlobal(QPoint(0, height())), reason(), this);
    update();
}

void LockMark::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    QToolTip::hideText();
    update();
}

}  // namespace kx
