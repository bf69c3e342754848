#pragma once
// The desktop's widget style with a focus mark on the controls that lack one: the Fusion style
// shows nothing on a push button that has the keyboard focus, so Tab would move through the
// buttons unseen. This style draws the accent ring of the hand-drawn controls around them.

#include <QProxyStyle>

namespace kx {

class FocusStyle : public QProxyStyle {
    Q_OBJECT

public:
    /// Puts the application's current style under this one, once; later calls do nothing.
    static void install();

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

private:
    using QProxyStyle::QProxyStyle;
};

}  // namespace kx
