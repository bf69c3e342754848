#include "ui/WheelGuard.h"

#include <QEvent>
#include <QWidget>

namespace kx {

void WheelGuard::install(QWidget* control)
{
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelGuard(control));
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
        return false;
    // Ignored and kept from the control: the application hands it on to the parents, the page's
    // scroll area among them.
    event->ignore();
    return true;
}

}  // namespace kx
