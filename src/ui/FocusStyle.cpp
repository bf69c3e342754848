#include "ui/FocusStyle.h"

#include "ui/SystemColors.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

namespace kx {

namespace {
constexpr double ringWidth = 2;
constexpr double ringRadius = 4;
}  // namespace

void FocusStyle::install()
{
    if (qobject_cast<FocusStyle*>(QApplication::style()))
        return;
    QApplication::setStyle(new FocusStyle(QStyleFactory::create(QApplication::style()->name())));
}

void FocusStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    const bool keyboardFocus =
        option->state.testFlag(State_HasFocus) && option->state.testFlag(State_KeyboardFocusChange);
    if (element != CE_PushButton || !keyboardFocus)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(SystemColors::withAlpha(SystemColors::accent(widget), 0.8), ringWidth));
    const double half = ringWidth / 2;
    painter->drawRoundedRect(QRectF(option->rect).adjusted(half, half, -half, -half), ringRadius, ringRadius);
    painter->restore();
}

}  // namespace kx
