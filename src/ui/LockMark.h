#pragma once
// The lock of an application that is always off, and why: the reason shows as a tip when the
// pointer rests on it and when Tab brings the keyboard to it, and screen readers read it as the
// lock's description.

#include <QWidget>

namespace kx {

class LockMark : public QWidget {
    Q_OBJECT

public:
    static constexpr int side = 14;

    explicit LockMark(QWidget* parent = nullptr);

    /// Why an always-off application can't be turned on.
    static QString reason();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace kx
