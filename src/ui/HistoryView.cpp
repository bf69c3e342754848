#include "ui/HistoryView.h"

#include "stores/BehaviorPrefs.h"
#include "stores/HistoryStore.h"
#include "ui/CorrectionRow.h"
#include "ui/Divider.h"
#include "ui/EmptyState.h"
#include "ui/FormSection.h"
#include "ui/ScrollToFocus.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>

#include <QTimer>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include <map>

namespace kx {

namespace {

QDate localDay(std::chrono::system_clock::time_point at)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
    return QDateTime::fromSecsSinceEpoch(seconds).date();
}

QPushButton* barButton(const QString& title, const char* symbol, const QColor& color)
{
    auto* button = new QPushButton(Symbols::icon(symbol, color, 14), title);
    button->setAutoDefault(false);
    button->setFont(Typography::font(11));
    return button;
}

}  // namespace

HistoryView::StatTile::StatTile(const QString& value, const QString& label, const char* symbol, QColor tint,
                                QWidget* parent)
    : QWidget(parent), m_value(value), m_label(label), m_symbol(symbol), m_tint(tint)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize HistoryView::StatTile::sizeHint() const
{
    const int valueHeight = QFontMetrics(Typography::rounded(Typography::title3, QFont::DemiBold)).height();
    const int labelHeight = QFontMetrics(Typography::font(Typography::caption)).height();
    return {100, 8 + valueHeight + 3 + labelHeight + 8};
}

void HistoryView::StatTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(SystemColors::withAlpha(SystemColors::label(this), 0.05));
    painter.drawRoundedRect(QRectF(rect()), 8, 8);

    const QFont valueFont = Typography::rounded(Typography::title3, QFont::DemiBold);
    const QFont labelFont = Typography::font(Typography::caption);
    const int valueHeight = QFontMetrics(valueFont).height();
    const double symbolSide = 12;
    Symbols::paint(painter, QRectF(10, 8 + (valueHeight - symbolSide) / 2, symbolSide, symbolSide), m_symbol, m_tint);
    painter.setFont(valueFont);
    painter.setPen(SystemColors::label(this));
    painter.drawText(QRectF(10 + symbolSide + 5, 8, width() - 20 - symbolSide - 5, valueHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, m_value);
    painter.setFont(labelFont);
    painter.setPen(SystemColors::secondaryLabel(this));
    painter.drawText(QRectF(10, 8 + valueHeight + 3, width() - 20, QFontMetrics(labelFont).height()),
                     Qt::AlignLeft | Qt::AlignVCenter, m_label);
}

HistoryView::HistoryView(HistoryStore& store, BehaviorPrefs& behavior, std::function<std::string()> makeReport,
                         QWidget* parent)
    : QWidget(parent),
      m_store(store),
      m_behavior(behavior),
      m_makeReport(std::move(makeReport)),
      m_tileRow(new QHBoxLayout),
      m_listHolder(new QVBoxLayout),
      m_clear(barButton(QStringLiteral("Clear"), "trash", SystemColors::red())),
      m_copy(barButton(QStringLiteral("Copy report"), "doc.on.clipboard", SystemColors::blue()))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_tileRow->setContentsMargins(12, 12, 12, 10);
    m_tileRow->setSpacing(8);
    layout->addLayout(m_tileRow);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 0, 12, 8);
    auto* title = new QLabel(QStringLiteral("Recent fixes"), this);
    title->setFont(Typography::font(Typography::subheadline, QFont::DemiBold));
    header->addWidget(title);
    header->addStretch(1);
    layout->addLayout(header);
    layout->addWidget(new Divider(this));

    m_listHolder->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_listHolder, 1);
    layout->addWidget(new Divider(this));

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(12, 12, 12, 12);
    m_clear->setParent(this);
    m_copy->setParent(this);
    QPalette destructive = m_clear->palette();
    destructive.setColor(QPalette::ButtonText, SystemColors::red());
    m_clear->setPalette(destructive);
    connect(m_clear, &QPushButton::clicked, this, [this] { m_store.clear(); });
    connect(m_copy, &QPushButton::clicked, this, [this] { copyReport(); });
    bar->addWidget(m_clear);
    bar->addStretch(1);
    bar->addWidget(m_copy);
    layout->addLayout(bar);

    // A rating or a clear comes from a button inside the list; the list is replaced after it returns.
    m_subscriptions.push_back(store.changed.subscribe([this] { scheduleRebuild(); }));
    m_subscriptions.push_back(behavior.troubleshootingChanged.subscribe([this](bool) { scheduleRebuild(); }));
    rebuild();
}

std::vector<HistoryView::Day> HistoryView::grouped(const std::vector<CorrectionRecord>& records)
{
    std::map<QDate, std::vector<CorrectionRecord>, std::greater<>> days;
    for (const CorrectionRecord& record : records)
        days[localDay(record.at)].push_back(record);
    return {days.begin(), days.end()};
}

QString HistoryView::dayLabel(const QDate& day, const QDate& today)
{
    if (day == today)
        return QStringLiteral("Today");
    if (day == today.addDays(-1))
        return QStringLiteral("Yesterday");
    // The locale's long date with the month abbreviated and without the weekday: "Dec 7, 2026".
    QString format = QLocale().dateFormat(QLocale::LongFormat);
    format.replace(QLatin1String("MMMM"), QLatin1String("MMM"));
    format.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
    return QLocale().toString(day, format.trimmed());
}

Rating HistoryView::nextRating(Rating current, Rating requested)
{
    return current == requested ? Rating::none : requested;
}

std::vector<QString> HistoryView::sectionTitles() const
{
    std::vector<QString> titles;
    if (m_list)
        for (FormSection* section : m_list->findChildren<FormSection*>())
            titles.push_back(section->header());
    return titles;
}

std::vector<CorrectionRow*> HistoryView::rows() const
{
    if (!m_list)
        return {};
    const QList<CorrectionRow*> found = m_list->findChildren<CorrectionRow*>();
    return {found.begin(), found.end()};
}

bool HistoryView::showsEmptyState() const
{
    return m_list && qobject_cast<EmptyState*>(m_list);
}

QString HistoryView::emptyStateTitle() const
{
    const auto* empty = qobject_cast<EmptyState*>(m_list);
    return empty ? empty->title() : QString();
}

void HistoryView::scheduleRebuild()
{
    if (m_rebuildScheduled)
        return;
    m_rebuildScheduled = true;
    QMetaObject::invokeMethod(
        this, [this] { rebuild(); }, Qt::QueuedConnection);
}

void HistoryView::rebuild()
{
    m_rebuildScheduled = false;
    rebuildTiles();
    rebuildList();
    const bool empty = m_store.records().empty();
    m_clear->setEnabled(!empty);
    m_copy->setEnabled(!empty);
    m_copy->setVisible(m_behavior.troubleshooting());
}

void HistoryView::rebuildTiles()
{
    for (StatTile* tile : m_tiles) {
        m_tileRow->removeWidget(tile);
        delete tile;
    }
    m_tiles.clear();
    const std::size_t apps = m_store.lifetimeApps().size();
    m_tiles.push_back(new StatTile(QString::number(m_store.lifetimeWordsFixed()), QStringLiteral("times fixed"),
                                   "checkmark.circle.fill", SystemColors::blue(), this));
    m_tiles.push_back(new StatTile(QString::number(apps), apps == 1 ? QStringLiteral("app") : QStringLiteral("apps"),
                                   "macwindow", QColor(0x58, 0x56, 0xD6), this));
    if (m_behavior.troubleshooting()) {
        const std::int64_t flagged = m_store.lifetimeFlagged();
        m_tiles.push_back(new StatTile(QString::number(flagged), QStringLiteral("flagged"), "hand.thumbsdown.fill",
                                       flagged >= 1 ? SystemColors::red() : SystemColors::secondaryLabel(this), this));
    }
    for (StatTile* tile : m_tiles)
        m_tileRow->addWidget(tile);
}

void HistoryView::rebuildList()
{
    // A rating rebuilds the rows under the user: the thumb that had the keyboard focus keeps it,
    // where Qt would hand it on to the next widget, the settings window's tab bar.
    std::optional<std::pair<Uuid, Rating>> focusedThumb;
    if (QWidget* focused = window()->focusWidget(); m_list && m_list->isAncestorOf(focused)) {
        const auto* thumb = dynamic_cast<const CorrectionRow::Thumb*>(focused);
        const auto* row = thumb ? qobject_cast<const CorrectionRow*>(thumb->parentWidget()) : nullptr;
        if (row)
            focusedThumb = {row->recordID(), thumb->rating()};
    }
    if (m_list) {
        m_listHolder->removeWidget(m_list);
        m_list->hide();
        m_list->deleteLater();
    }
    if (m_store.records().empty()) {
        m_list = new EmptyState("text.cursor", QStringLiteral("No corrections yet"),
                                QStringLiteral("Every layout fix Kestrelix makes will appear here."), this);
        m_listHolder->addWidget(m_list);
        return;
    }
    auto* scroll = new QScrollArea(this);
    // Tab goes from control to control, scrolling each into view; the list itself is no stop.
    scroll->setFocusPolicy(Qt::NoFocus);
    ScrollToFocus::install(*scroll);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(12, 12, 12, 12);
    sections->setSpacing(14);
    const bool thumbs = m_behavior.troubleshooting();
    for (const auto& [day, records] : grouped(m_store.records())) {
        auto* section = new FormSection(dayLabel(day));
        QLabel* header = section->headerLabel();
        header->setFont(Typography::font(Typography::caption, QFont::DemiBold));
        QPalette palette = header->palette();
        palette.setColor(QPalette::WindowText, SystemColors::secondaryLabel(this));
        header->setPalette(palette);
        for (const CorrectionRecord& record : records)
            section->addRow(new CorrectionRow(record, thumbs, [this, record](Rating r) { rate(record, r); }));
        sections->addWidget(section);
    }
    sections->addStretch(1);
    scroll->setWidget(content);
    m_list = scroll;
    m_listHolder->addWidget(m_list);
    keepBarLast();
    if (!focusedThumb)
        return;
    for (CorrectionRow* row : rows())
        if (row->recordID() == focusedThumb->first && row->thumbUp()) {
            (focusedThumb->second == Rating::up ? row->thumbUp() : row->thumbDown())->setFocus();
            return;
        }
    setFocus();
}

void HistoryView::keepBarLast()
{
    // New rows join the end of the window's Tab order; the bottom bar shows under them, so its
    // buttons go back to the end.
    QWidget* last = window()->previousInFocusChain();
    while (last != window() && (last == m_clear || last == m_copy || !(last->focusPolicy() & Qt::TabFocus)))
        last = last->previousInFocusChain();
    if (last == window())
        return;
    QWidget::setTabOrder(last, m_clear);
    QWidget::setTabOrder(m_clear, m_copy);
}

void HistoryView::rate(const CorrectionRecord& record, Rating requested)
{
    m_store.setRating(nextRating(record.rating, requested), record.id);
}

void HistoryView::copyReport()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(m_makeReport()));
    showCopied(true);
    // Every copy schedules its own reset, so quick copies return to "Copy report" after the first.
    QTimer::singleShot(copiedMilliseconds, this, [this] { showCopied(false); });
}

void HistoryView::showCopied(bool copied)
{
    m_copy->setText(copied ? QStringLiteral("Copied") : QStringLiteral("Copy report"));
    m_copy->setIcon(copied ? Symbols::icon("checkmark", SystemColors::blue(), 14)
                           : Symbols::icon("doc.on.clipboard", SystemColors::blue(), 14));
}

}  // namespace kx
