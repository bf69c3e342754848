#pragma once
// An on/off switch for the settings forms. Unlike the menu's MiniToggle it can be set from the
// state it shows, so a switch whose change is refused (a wrong password) turns back.
// clicked(bool) reports the user's flips; setChecked() changes only the picture.

#include <QAbstractButton>

namespace kx {

class SwitchButton : public QAbstractButton {
    Q_OBJECT

public:
    /// accessibleName: what the switch is for, since it has no text of its own.
    explicit SwitchButton(const QString& accessibleName, QWidget* parent = nullptr);

    /// 38 x 22 with the usual text size, larger with larger text.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kx
