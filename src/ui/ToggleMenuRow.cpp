#include "ui/ToggleMenuRow.h"

#include "ui/MiniToggle.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolButton>

#include <algorithm>

namespace kx {

namespace {

constexpr int leftInset = 14;
constexpr int rightInset = 12;
constexpr int spacing = 8;
constexpr int iconSize = 18;
constexpr int disclosureSize = 18;

/// Three dots in a ring, drawn in color: the button that opens the full application list.
QIcon ellipsisCircle(const QColor& color)
{
    QPixmap pixmap(disclosureSize * 2, disclosureSize * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.2));
    painter.drawEllipse(QRectF(2, 2, disclosureSize - 4, disclosureSize - 4));
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const double mid = disclosureSize / 2.0;
    for (const double dx : {-3.5, 0.0, 3.5})
        painter.drawEllipse(QPointF(mid + dx, mid), 1.1, 1.1);
    return QIcon(pixmap);
}

}  // namespace

ToggleMenuRow::ToggleMenuRow(const QString& title, const std::optional<QString>& subtitle, const QIcon& icon, bool isOn,
                             bool showDisclosure, QWidget* parent)
    : QWidget(parent), m_title(title), m_subtitle(subtitle), m_icon(icon), m_toggle(new MiniToggle(isOn, this))
{
    // Taller with larger text, so the title and subtitle keep their room.
    const int h = qRound(Typography::scaled(subtitle ? 40 : 30));
    // As wide as the menu, never narrower than the row's own width.
    setFixedHeight(h);
    setMinimumWidth(rowWidth);
    resize(rowWidth, h);
    setMouseTracking(true);

    m_toggle->onChange = [row = QPointer(this)](bool on) {
        if (row && row->onToggle)
            row->onToggle(on);
    };

    if (showDisclosure) {
        m_disclosure = new QToolButton(this);
        m_disclosure->setAutoRaise(true);
        m_disclosure->setIcon(ellipsisCircle(SystemColors::secondaryLabel(this)));
        m_disclosure->setIconSize({disclosureSize, disclosureSize});
        m_disclosure->setFixedSize(disclosureSize, disclosureSize);
        // A ring while the keyboard is on it: the border that the plain look leaves out.
        m_disclosure->setStyleSheet("QToolButton { border: none; padding: 0; background: transparent; }"
                                    "QToolButton:focus { border: 1px solid palette(highlight); border-radius: 9px; }");
        m_disclosure->setFocusPolicy(Qt::StrongFocus);
        m_disclosure->setToolTip("Manage all apps…");
        m_disclosure->setAccessibleName("Manage all apps");
        connect(m_disclosure, &QToolButton::clicked, this, &ToggleMenuRow::disclose);
    }
    // The menu's arrow keys stop on the row; the switch takes the focus and Space flips it. Left and
    // Right move between the switch and the button beside it.
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_toggle);
    placeControls();
}

void ToggleMenuRow::placeControls()
{
    m_toggle->move(width() - rightInset - MiniToggle::width, (height() - MiniToggle::height) / 2);
    if (m_disclosure)
        m_disclosure->move(m_toggle->x() - spacing - disclosureSize, (height() - disclosureSize) / 2);
}

void ToggleMenuRow::resizeEvent(QResizeEvent*)
{
    placeControls();
}

QRect ToggleMenuRow::textRect() const
{
    const int left = leftInset + (m_icon.isNull() ? 0 : iconSize + spacing);
    // An empty spacer sits between the text and the next control, with the spacing on both sides.
    const int next = m_disclosure ? m_disclosure->x() : m_toggle->x();
    return QRect(left, 3, std::max(next - 2 * spacing - left, 0), height() - 6);
}

void ToggleMenuRow::keyPressEvent(QKeyEvent* event)
{
    const bool onButton = m_disclosure && m_disclosure->hasFocus();
    switch (event->key()) {
    case Qt::Key_Left:
        if (m_disclosure && !onButton) {
            m_disclosure->setFocus(Qt::TabFocusReason);
            return;
        }
        break;
    case Qt::Key_Right:
        if (onButton) {
            m_toggle->setFocus(Qt::TabFocusReason);
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (onButton) {
            disclose();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void ToggleMenuRow::disclose()
{
    // The menu closes first; what onDisclosure opens then comes up in front of nothing stale.
    QWidget* menu = nullptr;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (qobject_cast<QMenu*>(w))
            menu = w;
    if (menu)
        menu->close();
    if (onDisclosure)
        onDisclosure();
}

void ToggleMenuRow::enterEvent(QEnterEvent*)
{
    m_hovering = true;
    update();
}

void ToggleMenuRow::leaveEvent(QEvent*)
{
    m_hovering = false;
    update();
}

void ToggleMenuRow::mousePressEvent(QMouseEvent* event)
{
    // The row itself does nothing on a click, and the menu must not take it as a choice.
    event->accept();
}

void ToggleMenuRow::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void ToggleMenuRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_hovering) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(SystemColors::withAlpha(SystemColors::label(this), 0.08));
        painter.drawRoundedRect(QRectF(rect()).adjusted(5, 0, -5, 0), 5, 5);
    }
    if (!m_icon.isNull())
        m_icon.paint(&painter, QRect(leftInset, (height() - iconSize) / 2, iconSize, iconSize));

    const QRect text = textRect();
    const QFont titleFont = Typography::font(13);
    const QFontMetrics titleMetrics(titleFont);
    int y = text.center().y() - titleMetrics.height() / 2;
    std::optional<QFont> subtitleFont;
    if (m_subtitle) {
        subtitleFont = Typography::font(11);
        const int block = titleMetrics.height() + 1 + QFontMetrics(*subtitleFont).height();
        y = text.center().y() - block / 2;
    }
    painter.setFont(titleFont);
    painter.setPen(SystemColors::label(this));
    painter.drawText(QRect(text.left(), y, text.width(), titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(m_title, Qt::ElideRight, text.width()));
    if (m_subtitle) {
        const QFontMetrics subtitleMetrics(*subtitleFont);
        painter.setFont(*subtitleFont);
        painter.setPen(SystemColors::secondaryLabel(this));
        painter.drawText(QRect(text.left(), y + titleMetrics.height() + 1, text.width(), subtitleMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         subtitleMetrics.elidedText(*m_subtitle, Qt::ElideRight, text.width()));
    }
}

}  // namespace kx
