#pragma once
// One correction in the History tab: the application, the time and the kind of rewrite, the word as
// typed (struck through) beside the word as fixed, the two layouts, and — in troubleshooting mode
// — thumbs to rate it. It keeps no state; a rating goes back through rate.

#include "stores/CorrectionRecord.h"

#include <QAbstractButton>
#include <QColor>
#include <QWidget>

#include <functional>

class QLabel;

namespace kx {

class CorrectionRow : public QWidget {
    Q_OBJECT

public:
    /// A rating button: the outlined symbol, or the filled one in colour while the record has it.
    class Thumb : public QAbstractButton {
    public:
        Thumb(Rating rating, const char* symbol, QColor color, bool lit, QWidget* parent);
        Rating rating() const { return m_rating; }
        bool isLit() const { return m_lit; }
        QSize sizeHint() const override { return {26, 24}; }

    protected:
        void paintEvent(QPaintEvent* event) override;

    private:
        Rating m_rating;
        const char* m_symbol;
        QColor m_color;
        bool m_lit;
    };

    CorrectionRow(const CorrectionRecord& rec, bool showThumbs, std::function<void(Rating)> rate,
                  QWidget* parent = nullptr);

    /// "AUTO", "RETRO ×3", ... as drawn.
    static QString badgeText(const CorrectionRecord& rec);
    static QColor kindColor(CorrectionKind kind);
    /// The hour and minute of at, in the user's time zone and locale.
    static QString timeText(std::chrono::system_clock::time_point at);

    /// The record shown.
    const Uuid& recordID() const { return m_recordID; }
    /// The up and down thumbs; null without thumbs.
    Thumb* thumbUp() const { return m_up; }
    Thumb* thumbDown() const { return m_down; }
    /// The line with the typed and the corrected word.
    QLabel* wordsLabel() const { return m_words; }

private:
    Uuid m_recordID;
    Thumb* m_up = nullptr;
    Thumb* m_down = nullptr;
    QLabel* m_words = nullptr;
};

}  // namespace kx
