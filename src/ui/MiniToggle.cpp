#include "ui/MiniToggle.h"

#include "ui/FocusRing.h"
#include "ui/SystemColors.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace kx {

namespace {
constexpr int slideMilliseconds = 160;
}

MiniToggle::MiniToggle(bool isOn, QWidget* parent) : QWidget(parent), m_isOn(isOn), m_progress(isOn ? 1.0 : 0.0)
{
    setFixedSize(width, height);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void MiniToggle::mousePressEvent(QMouseEvent* event)
{
    // Accepted here, so the menu never sees the click and stays open.
    event->accept();
    if (event->button() == Qt::LeftButton)
        flip();
}

void MiniToggle::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Space) {
        QWidget::keyPressEvent(event);
        return;
    }
    flip();
}

void MiniToggle::flip()
{
    m_isOn = !m_isOn;
    if (onChange)
        onChange(m_isOn);
    animate(m_isOn ? 1.0 : 0.0);
}

void MiniToggle::animate(double target)
{
    // A click during a slide starts a new one from where the knob is, so it reverses smoothly.
    if (m_animation)
        m_animation->stop();
    else {
        m_animation = new QVariantAnimation(this);
        m_animation->setDuration(slideMilliseconds);
        m_animation->setEasingCurve(QEasingCurve::OutCubic);
        connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            m_progress = value.toDouble();
            update();
        });
    }
    m_animation->setStartValue(m_progress);
    m_animation->setEndValue(target);
    m_animation->start();
}

void MiniToggle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);

    const QColor track = SystemColors::blend(SystemColors::tertiaryLabel(this), SystemColors::blue(), m_progress);
    painter.setPen(Qt::NoPen);
    painter.setBrush(track);
    painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);

    const double d = r.height() - 4;
    const double left = r.left() + 2;
    const double x = left + (r.right() - d - 2 - left) * m_progress;
    const QRectF knob(x, r.top() + 2, d, d);
    // A soft shadow just under the knob.
    painter.setBrush(QColor(0, 0, 0, 24));
    painter.drawEllipse(knob.translated(0, 0.5).adjusted(-0.75, -0.75, 0.75, 0.75));
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob.translated(0, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    FocusRing::paint(painter, *this, rect(), height / 2.0, m_progress > 0.5);
}

}  // namespace kx
