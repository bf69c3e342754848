#include "ui/Divider.h"

#include "ui/SystemColors.h"

#include <QPainter>

namespace kx {

Divider::Divider(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), SystemColors::withAlpha(SystemColors::label(this), 0.12));
}

}  // namespace kx
