#pragma once
// The History tab, offered in troubleshooting mode: the lifetime counters, the recorded
// corrections grouped by day with the newest first, and a bar to clear the list or copy the
// report. Ratings given here go straight to the history store.

#include "platform/Observable.h"
#include "stores/CorrectionRecord.h"

#include <QColor>
#include <QDate>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace kx {

class BehaviorPrefs;
class CorrectionRow;
class HistoryStore;

class HistoryView : public QWidget {
    Q_OBJECT

public:
    /// How long "Copied" shows after a copy, in milliseconds.
    static constexpr int copiedMilliseconds = 1600;

    /// A counter tile: a tinted symbol and a number over a small label.
    class StatTile : public QWidget {
    public:
        StatTile(const QString& value, const QString& label, const char* symbol, QColor tint, QWidget* parent);
        const QString& value() const { return m_value; }
        const QString& label() const { return m_label; }
        const QColor& tint() const { return m_tint; }
        QSize sizeHint() const override;

    protected:
        void paintEvent(QPaintEvent* event) override;

    private:
        QString m_value;
        QString m_label;
        const char* m_symbol;
        QColor m_tint;
    };

    using Day = std::pair<QDate, std::vector<CorrectionRecord>>;

    /// makeReport gives the text "Copy report" puts on the clipboard. store and behavior must
    /// outlive the view.
    HistoryView(HistoryStore& store, BehaviorPrefs& behavior, std::function<std::string()> makeReport,
                QWidget* parent = nullptr);

    /// The records by the local day they were made, newest day first, each day's records in the
    /// order given.
    static std::vector<Day> grouped(const std::vector<CorrectionRecord>& records);
    /// "Today", "Yesterday", else the day as the user's locale abbreviates dates.
    static QString dayLabel(const QDate& day, const QDate& today = QDate::currentDate());
    /// Pressing the lit thumb again clears the rating; another thumb sets its own.
    static Rating nextRating(Rating current, Rating requested);

    const std::vector<StatTile*>& tiles() const { return m_tiles; }
    /// The section titles shown, in order; empty while there are no records.
    std::vector<QString> sectionTitles() const;
    /// The rows shown, in order.
    std::vector<CorrectionRow*> rows() const;
    bool showsEmptyState() const;
    /// The empty state's title; empty while records show.
    QString emptyStateTitle() const;
    QPushButton* clearButton() const { return m_clear; }
    /// Shown in troubleshooting mode only.
    QPushButton* copyButton() const { return m_copy; }

private:
    void scheduleRebuild();
    void rebuild();
    void rebuildTiles();
    void rebuildList();
    void keepBarLast();
    void rate(const CorrectionRecord& record, Rating requested);
    void copyReport();
    void showCopied(bool copied);

    HistoryStore& m_store;
    BehaviorPrefs& m_behavior;
    std::function<std::string()> m_makeReport;
    QHBoxLayout* m_tileRow;
    std::vector<StatTile*> m_tiles;
    QVBoxLayout* m_listHolder;
    QWidget* m_list = nullptr;
    QPushButton* m_clear;
    QPushButton* m_copy;
    bool m_rebuildScheduled = false;
    std::vector<std::unique_ptr<Subscription>> m_subscriptions;
};

}  // namespace kx
