#include "ui/FlashLabel.h"

#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace kx {

namespace {

constexpr int gap = 6;
constexpr int pointerOffset = 18;

}  // namespace

FlashLabel::FlashLabel()
    : QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("flashLabel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setTextFormat(Qt::PlainText);
    setFont(Typography::font(Typography::body, QFont::DemiBold));
    setContentsMargins(10, 5, 10, 5);
    m_hide.setSingleShot(true);
    connect(&m_hide, &QTimer::timeout, this, &QWidget::hide);
}

void FlashLabel::flash(const QString& text, const QRect& anchor)
{
    setText(text);
    adjustSize();
    const QRect around =
        anchor.isEmpty() ? QRect(QCursor::pos() + QPoint(pointerOffset, pointerOffset), QSize(1, 1)) : anchor;
    const QScreen* screen = QGuiApplication::screenAt(around.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    move(screen ? placement(size(), around, screen->availableGeometry()) : around.bottomLeft());
    show();
    raise();
    m_hide.start(visibleMilliseconds);
}

QPoint FlashLabel::placement(QSize size, const QRect& anchor, const QRect& screen)
{
    const int x = anchor.x() + (anchor.width() - size.width()) / 2;
    const int y =
        anchor.center().y() < screen.center().y() ? anchor.bottom() + 1 + gap : anchor.top() - gap - size.height();
    // Kept on the screen; the left and top edges win when it is too small.
    return {std::max(screen.left(), std::min(x, screen.right() + 1 - size.width())),
            std::max(screen.top(), std::min(y, screen.bottom() + 1 - size.height()))};
}

void FlashLabel::paintEvent(QPaintEvent*)
{
    // A plain rectangle (no translucency needed), so it looks the same with or without a compositor.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    painter.setPen(SystemColors::withAlpha(palette().color(QPalette::ToolTipText), 0.25));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawText(contentsRect(), Qt::AlignCenter, text());
}

}  // namespace kx
