#include "ui/FormSection.h"

#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace kx {

namespace {

constexpr int rowSpacing = 8;

/// The rounded panel; it draws the hairlines itself so hidden rows leave no double lines.
class Panel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(SystemColors::withAlpha(SystemColors::label(this), 0.05));
        painter.drawRoundedRect(QRectF(rect()), 10, 10);
        painter.setPen(QPen(SystemColors::withAlpha(SystemColors::label(this), 0.1), 1));
        bool first = true;
        for (QObject* child : children()) {
            auto* row = qobject_cast<QWidget*>(child);
            if (!row || !row->isVisible())
                continue;
            if (!first) {
                const double y = row->geometry().top() - rowSpacing / 2.0;
                painter.drawLine(QPointF(12, y), QPointF(width() - 12, y));
            }
            first = false;
        }
    }
};

}  // namespace

FormSection::FormSection(const QString& header, QWidget* parent)
    : QWidget(parent),
      m_header(header),
      m_panel(new Panel(this)),
      m_rows(new QVBoxLayout(m_panel)),
      m_footer(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    if (!header.isEmpty()) {
        m_headerLabel = new QLabel(header, this);
        QFont font = m_headerLabel->font();
        font.setWeight(QFont::DemiBold);
        m_headerLabel->setFont(font);
        m_headerLabel->setContentsMargins(4, 0, 0, 0);
        layout->addWidget(m_headerLabel);
    }
    m_rows->setContentsMargins(12, 8, 12, 8);
    m_rows->setSpacing(rowSpacing);
    layout->addWidget(m_panel);
    m_footer->setWordWrap(true);
    m_footer->setFont(captionFont());
    m_footer->setContentsMargins(4, 0, 4, 0);
    QPalette palette = m_footer->palette();
    palette.setColor(QPalette::WindowText, SystemColors::secondaryLabel(this));
    m_footer->setPalette(palette);
    m_footer->hide();
    layout->addWidget(m_footer);
}

void FormSection::addRow(QWidget* row)
{
    m_rows->addWidget(row);
}

void FormSection::setFooter(const QString& footer)
{
    m_footer->setText(footer);
    m_footer->setVisible(!footer.isEmpty());
}

QString FormSection::footer() const
{
    return m_footer->text();
}

QWidget* FormSection::labeledRow(const QString& label, QWidget* control)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!label.isEmpty())
        layout->addWidget(new QLabel(label, row));
    layout->addStretch(1);
    layout->addWidget(control);
    return row;
}

QFont FormSection::captionFont()
{
    return Typography::font(Typography::caption);
}

}  // namespace kx
