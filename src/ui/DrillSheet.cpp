#include "ui/DrillSheet.h"

#include "ui/Divider.h"
#include "ui/Typography.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kx {

DrillSheet::DrillSheet(LayoutRegistry& registry, const DrillViewFactory& makeDrillView, QWidget* parent)
    : QDialog(parent)
{
    // A window of its own on Linux: its title names the program in the task list.
    setWindowTitle(QString::fromUtf8("Kestrelix — Typing Drill"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(sheetWidth, sheetHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(12, 12, 12, 12);
    auto* title = new QLabel(QStringLiteral("Drill"), this);
    title->setFont(Typography::font(Typography::headline, QFont::DemiBold));
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    // Escape rejects a dialog already; "Done" does the same, so both close the sheet alike.
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setAutoDefault(false);
    connect(done, &QPushButton::clicked, this, &QDialog::reject);
    titleRow->addWidget(done);
    layout->addLayout(titleRow);

    layout->addWidget(new Divider(this));

    if (makeDrillView) {
        m_drillView = makeDrillView(registry);
        m_drillView->setParent(this);
        layout->addWidget(m_drillView, 1);
    } else {
        layout->addStretch(1);
    }
}

}  // namespace kx
