#include "ui/ScrollToFocus.h"

#include <QApplication>
#include <QScrollArea>

namespace kx {

void ScrollToFocus::install(QScrollArea& area)
{
    QObject::connect(qApp, &QApplication::focusChanged, &area, [&area](QWidget*, QWidget* now) {
        if (now && area.widget() && area.widget()->isAncestorOf(now))
            area.ensureWidgetVisible(now);
    });
}

}  // namespace kx
