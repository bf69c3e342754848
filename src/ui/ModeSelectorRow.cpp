#include "ui/ModeSelectorRow.h"

#include "ui/FocusRing.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kx {

namespace {

constexpr double leftInset = 14;
constexpr double rightInset = 12;
constexpr double trackHeight = 24;
constexpr double pillInset = 2;
// Room on each side of a title inside its pill.
constexpr double titlePadding = 6;

/// Inside r, its right and bottom edges excluded, so a point on a border belongs to one segment.
bool holds(const QRectF& r, QPointF p)
{
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}

/// Screen readers hear the row as one control named "Correction mode" whose value is the mode.
class ModeSelectorAccessible final : public QAccessibleWidget {
public:
    explicit ModeSelectorAccessible(ModeSelectorRow* row) : QAccessibleWidget(row, QAccessible::Grouping) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* row = static_cast<const ModeSelectorRow*>(widget());
        if (t == QAccessible::Name)
            return "Correction mode";
        if (t == QAccessible::Value)
            return ModeSelectorRow::title(row->selectedMode());
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("kx::ModeSelectorRow") && object && object->isWidgetType())
        return new ModeSelectorAccessible(static_cast<ModeSelectorRow*>(object));
    return nullptr;
}

}  // namespace

ModeSelectorRow::ModeSelectorRow(CorrectionMode mode, QWidget* parent) : QWidget(parent)
{
    [[maybe_unused]] static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();

    // As wide as the menu, never narrower than the row's own width.
    setFixedHeight(rowHeight());
    setMinimumWidth(rowWidth());
    resize(rowWidth(), rowHeight());
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    const auto found = std::ranges::find(modes, mode);
    m_selected = found == modes.end() ? 0 : std::size_t(found - modes.begin());
}

void ModeSelectorRow::showMode(CorrectionMode mode)
{
    const auto found = std::ranges::find(modes, mode);
    const std::size_t index = found == modes.end() ? 0 : std::size_t(found - modes.begin());
    if (index == m_selected)
        return;
    m_selected = index;
    update();
    QAccessibleValueChangeEvent change(this, title(selectedMode()));
    QAccessible::updateAccessibility(&change);
}

QString ModeSelectorRow::title(CorrectionMode mode)
{
    switch (mode) {
    case CorrectionMode::automatic:
        return "Automatic";
    case CorrectionMode::ask:
        return "Ask";
    case CorrectionMode::manual:
        return "Manual";
    }
    return {};
}

int ModeSelectorRow::rowWidth()
{
    return std::max(300, titlesWidth());
}

int ModeSelectorRow::titlesWidth()
{
    double widest = 0;
    for (CorrectionMode mode : modes)
        widest = std::max(widest, QFontMetricsF(titleFont(true)).horizontalAdvance(title(mode)));
    const double segment = widest + 2 * (pillInset + titlePadding);
    return int(std::ceil(leftInset + rightInset + segment * double(modes.size())));
}

int ModeSelectorRow::rowHeight()
{
    return qRound(Typography::scaled(36));
}

QFont ModeSelectorRow::titleFont(bool selected)
{
    return Typography::font(Typography::body, selected ? QFont::Medium : QFont::Normal);
}

QRectF ModeSelectorRow::trackRect() const
{
    const double track = Typography::scaled(trackHeight);
    return QRectF(leftInset, (height() - track) / 2, std::max(width() - leftInset - rightInset, 0.0), track);
}

QRectF ModeSelectorRow::segmentRect(int index) const
{
    const QRectF track = trackRect();
    const double w = track.width() / double(modes.size());
    return QRectF(track.left() + index * w, track.top(), w, track.height());
}

std::optional<int> ModeSelectorRow::segmentIndex(QPointF point) const
{
    if (!holds(trackRect(), point))
        return std::nullopt;
    for (int i = 0; i < int(modes.size()); ++i)
        if (holds(segmentRect(i), point))
            return i;
    return std::nullopt;
}

void ModeSelectorRow::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    setCursor(holds(trackRect(), p) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    const auto i = segmentIndex(p);
    if (i != m_hovered) {
        m_hovered = i;
        update();
    }
}

void ModeSelectorRow::leaveEvent(QEvent*)
{
    if (m_hovered) {
        m_hovered.reset();
        update();
    }
}

void ModeSelectorRow::mousePressEvent(QMouseEvent* event)
{
    // Accepted whatever it hits, so the menu never takes the click as a choice and stays open.
    event->accept();
    if (const auto i = segmentIndex(event->position()))
        select(std::size_t(*i));
}

void ModeSelectorRow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Left && m_selected > 0)
        select(m_selected - 1);
    else if (event->key() == Qt::Key_Right && m_selected + 1 < modes.size())
        select(m_selected + 1);
    else
        QWidget::keyPressEvent(event);
}

void ModeSelectorRow::select(std::size_t index)
{
    if (index == m_selected)
        return;
    showMode(modes[index]);
    if (onChange)
        onChange(modes[m_selected]);
}

void ModeSelectorRow::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void ModeSelectorRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor label = SystemColors::label(this);
    painter.setBrush(SystemColors::withAlpha(label, 0.07));
    painter.drawRoundedRect(trackRect(), 6, 6);

    for (int i = 0; i < int(modes.size()); ++i) {
        const QRectF pill = segmentRect(i).adjusted(pillInset, pillInset, -pillInset, -pillInset);
        const bool selected = std::size_t(i) == m_selected;
        QColor textColor = label;
        if (selected) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(SystemColors::accent(this));
            painter.drawRoundedRect(pill, 5, 5);
            textColor = Qt::white;
        } else if (i == m_hovered) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(SystemColors::withAlpha(label, 0.06));
            painter.drawRoundedRect(pill, 5, 5);
        }
        painter.setFont(titleFont(selected));
        painter.setPen(textColor);
        painter.drawText(pill, Qt::AlignCenter, title(modes[i]));
    }
    FocusRing::paint(painter, *this, trackRect().adjusted(-2, -2, 2, 2), 8);
}

}  // namespace kx
