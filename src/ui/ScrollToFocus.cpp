#include "ui/ScrollToFocus.h"

#include <QApplication>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kx {

void ScrollToFocus::install(QScrollArea& area)
{
    QObject::connect(qApp, &QApplication::focusChanged, &area, [&area](QWidget*, QWidget* now) {
        if (now && area.widget() && area.widget()->isAncestorOf(now))
            area.ensureWidgetVisible(now);
    });
}

ScrollToFocus::Page ScrollToFocus::makePage(QWidget* parent)
{
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setFocusPolicy(Qt::NoFocus);
    install(*area);
    auto* page = new QWidget(area);
    page->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The layout comes first: a page given to the area before it has one would not show.
    area->setWidget(page);
    return {area, page, column};
}

}  // namespace kx
