#pragma once
// The menu row that chooses the correction mode: a three-segment pill control reading "Automatic",
// "Ask" and "Manual". It draws itself: a tinted track, a pill on the selected segment and a
// fainter one under the pointer. A click selects at once and the menu stays open. It takes the
// focus from the keyboard too (Tab in the settings form, the arrow keys in the menu), and then the
// Left and Right keys choose the neighbouring mode. It grows with the desktop's text size.

#include "engine/CorrectionMode.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

namespace kx {

class ModeSelectorRow : public QWidget {
    Q_OBJECT

public:
    /// 300 x 36 with the usual text size; larger text makes the row as large as its titles need.
    static int rowWidth();
    /// The narrowest the row can be with its three titles whole.
    static int titlesWidth();
    static int rowHeight();
    static constexpr std::array<CorrectionMode, 3> modes = CorrectionMode::allCases();

    explicit ModeSelectorRow(CorrectionMode mode, QWidget* parent = nullptr);

    /// Called with the mode of a newly selected segment; never for the one already selected.
    std::function<void(CorrectionMode)> onChange;

    QSize sizeHint() const override { return {rowWidth(), rowHeight()}; }
    static QString title(CorrectionMode mode);
    /// The font of a segment's title; the selected one is a little heavier.
    static QFont titleFont(bool selected);
    CorrectionMode selectedMode() const { return modes[m_selected]; }
    /// Shows mode as the selected one without calling onChange: a form's selector follows its
    /// setting when it is changed elsewhere. The menu's row, made anew each time, has no need.
    void showMode(CorrectionMode mode);
    std::optional<int> hovered() const { return m_hovered; }
    /// The pill track: 24 high (more with larger text), centred, 14 in from the left and 12 from the
    /// right.
    QRectF trackRect() const;
    QRectF segmentRect(int index) const;
    /// The segment under point; none outside the track.
    std::optional<int> segmentIndex(QPointF point) const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void select(std::size_t index);

    std::size_t m_selected = 0;
    std::optional<int> m_hovered;
};

}  // namespace kx
