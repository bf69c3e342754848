#pragma once
// A small hand-drawn on/off switch for menu rows. A click flips it at once, reports the new state
// and slides the knob; the menu stays open. Only a click, or Space while it has the focus, changes
// the state.

#include <QWidget>

#include <functional>

class QVariantAnimation;

namespace kx {

class MiniToggle : public QWidget {
    Q_OBJECT

public:
    static constexpr int width = 34;
    static constexpr int height = 20;

    explicit MiniToggle(bool isOn, QWidget* parent = nullptr);

    /// Called with the new state on each click, before the knob moves.
    std::function<void(bool)> onChange;

    bool isOn() const { return m_isOn; }
    /// The drawn position of the knob, 0 (off) to 1 (on).
    double progress() const { return m_progress; }
    QSize sizeHint() const override { return {width, height}; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void flip();
    void animate(double target);

    bool m_isOn;
    double m_progress;
    QVariantAnimation* m_animation = nullptr;
};

}  // namespace kx
