#pragma once
// A control that changes a setting (a combo box, a segmented control) takes the wheel only while it
// has the focus; otherwise the wheel passes on and scrolls the page the control sits on, so a
// scroll over the form never changes and saves a setting by accident.

#include <QObject>

class QWidget;

namespace kx {

class WheelGuard final : public QObject {
    Q_OBJECT

public:
    /// Gives control strong focus (click or Tab, never the wheel) and guards its wheel events.
    static void install(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

}  // namespace kx
