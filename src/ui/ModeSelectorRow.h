#pragma once
// The menu row that chooses the correction mode: a three-segment pill control reading "Automatic",
// "Ask" and "Manual". It draws itself: a tinted track, a pill on the selected segment and a
// fainter one under the pointer. A click selects at once and the menu stays open. Where it takes the
// focus (the settings form), the arrow keys choose the neighbouring mode.

#include "engine/CorrectionMode.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

namespace kx {

class ModeSelectorRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int rowWidth = 300;
    static constexpr int rowHeight = 36;
    static constexpr std::array<CorrectionMode, 3> modes = CorrectionMode::allCases();

    explicit ModeSelectorRow(CorrectionMode mode, QWidget* parent = nullptr);

    /// Called with the mode of a newly selected segment; never for the one already selected.
    std::function<void(CorrectionMode)> onChange;

    QSize sizeHint() const override { return {rowWidth, rowHeight}; }
    static QString title(CorrectionMode mode);
    CorrectionMode selectedMode() const { return modes[m_selected]; }
    std::optional<int> hovered() const { return m_hovered; }
    /// The pill track: 24 high, centred, 14 in from the left and 12 from the right.
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
