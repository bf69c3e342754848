#pragma once
// A small indeterminate progress indicator: an arc that turns while the widget is shown.

#include <QTimer>
#include <QWidget>

namespace kx {

class Spinner : public QWidget {
    Q_OBJECT

public:
    explicit Spinner(int diameter, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};

}  // namespace kx
