#pragma once
// The walkthrough's scene, drawn in one piece: the logo (greyed while keys do not reach the
// corrector), the dashed wire running down to the mode strip or cut with a red cross, the mode
// strip, and the simulated field with its badge, suggestion capsule, hot-key caps or password dots
// — or, on the permissions step, the two permission rows. The mode buttons and the permission
// rows are its controls. Changes of the model's flags animate briefly.

#include "onboarding/WalkthroughModel.h"
#include "platform/Permissions.h"

#include <QImage>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace kx {

class WalkthroughStage : public QWidget {
    Q_OBJECT

public:
    static constexpr double fieldWidthLimit = 400;
    static constexpr double stripWidthLimit = 310;

    WalkthroughStage(WalkthroughModel& model, std::function<void(platform::Permission)> explain,
                     QWidget* parent = nullptr);
    ~WalkthroughStage() override;

    /// Takes in a change of the model: starts the animations of the flags that changed.
    void follow();

    QRectF modeButtonRect(WalkStep step) const;
    /// 0: Accessibility, 1: keyboard access; empty off the permissions step.
    QRectF permissionRowRect(int row) const;
    /// The control the keyboard is on: 0 to 2 the mode buttons, 3 and 4 the permission rows.
    /// The stage is one Tab stop; the arrow keys move between its controls, Space and Return
    /// press the one the keyboard is on.
    int keyboardItem() const { return m_keyboardItem; }
    QSize sizeHint() const override;
    /// As tall as the scene needs; as narrow as the mode strip allows.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    /// A value that eases towards its target; the stage repaints as it moves.
    class Tween {
    public:
        Tween(QWidget& owner, double value, int milliseconds, QEasingCurve curve);
        void towards(double target);
        double value() const { return m_value; }

    private:
        QVariantAnimation m_animation;
        double m_value;
        double m_target;
    };

    int itemCount() const;
    QRectF itemRect(int item) const;
    void press(int item);

    QRectF contentRect() const;
    QRectF logoRect() const;
    QRectF wireRect() const;
    QRectF stripRect() const;
    QRectF lowerRect() const;

    void paintLogo(QPainter& painter);
    void paintWire(QPainter& painter);
    void paintStrip(QPainter& painter);
    void paintField(QPainter& painter);
    void paintFieldContent(QPainter& painter, const QRectF& box);
    void paintBadge(QPainter& painter, const QRectF& box);
    void paintCapsule(QPainter& painter, const QRectF& box);
    void paintKeycaps(QPainter& painter, const QRectF& box);
    void paintPermissions(QPainter& painter);
    void paintPermissionRow(QPainter& painter, const QRectF& row, const QString& title, const QString& detail,
                            double granted);

    QColor primary(double alpha = 1) const;
    QColor secondary(double alpha = 1) const;
    QColor textBackground() const;

    WalkthroughModel& m_model;
    std::function<void(platform::Permission)> m_explain;
    QTimer m_wireTimer;
    QImage m_logo;
    QImage m_greyLogo;
    Tween m_cut;
    Tween m_lift;
    Tween m_press;
    Tween m_lit;
    Tween m_accessibility;
    Tween m_inputMonitoring;
    int m_keyboardItem = 0;
};

}  // namespace kx
