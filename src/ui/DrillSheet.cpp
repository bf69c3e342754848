#include "ui/DrillSheet.h"

#include "ui/Divider.h"
#include "ui/ScrollToFocus.h"
#include "ui/Typography.h"
#include "ui/WindowPlacement.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kx {

DrillSheet::DrillSheet(LayoutRegistry& registry, const DrillViewFactory& makeDrillView, QWidget* parent)
    : QDialog(parent)
{
    // A window of its own on Linux: its title names the program in the task list.
    setWindowTitle(QString::fromUtf8("Kestrelix — Typing Drill"));
    setWindowModality(Qt::WindowModal);
    resize(sheetWidth, sheetHeight);
    WindowPlacement::closeOnKeys(*this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(12, 12, 12, 12);
    auto* title = new QLabel(QStringLiteral("Drill"), this);
    title->setFont(Typography::font(Typography::headline, QFont::DemiBold));
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    // Escape and Ctrl+W close the sheet, which rejects it; "Done" does the same.
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setAutoDefault(false);
    connect(done, &QPushButton::clicked, this, &QDialog::reject);
    titleRow->addWidget(done);
    layout->addLayout(titleRow);

    layout->addWidget(new Divider(this));

    if (makeDrillView) {
        m_drillView = makeDrillView(registry);
        // The drill fills the sheet; where the screen leaves the sheet shorter than the drill can be,
        // it scrolls under the title row.
        auto* scroll = new QScrollArea(this);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setFocusPolicy(Qt::NoFocus);
        ScrollToFocus::install(*scroll);
        scroll->setWidget(m_drillView);
        layout->addWidget(scroll, 1);
    } else {
        layout->addStretch(1);
    }
}

}  // namespace kx
