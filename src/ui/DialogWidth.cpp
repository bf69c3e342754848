#include "ui/DialogWidth.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include <algorithm>

namespace kx {

namespace {

// Room for a title bar's icon and its three buttons, with their margins, on common themes.
constexpr int titleBarExtras = 150;

}  // namespace

int DialogWidth::forTitle(const QString& title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + titleBarExtras;
}

void DialogWidth::holdTitle(QDialog& dialog)
{
    const int width = forTitle(dialog.windowTitle());
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    auto* grid = box ? qobject_cast<QGridLayout*>(box->layout()) : nullptr;
    if (!grid) {
        dialog.setMinimumWidth(std::max(dialog.minimumWidth(), width));
        return;
    }
    // A message box sets its own size from its texts and ignores a minimum width; a spacer across
    // its grid widens it.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

}  // namespace kx
