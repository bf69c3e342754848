#pragma once
// A one-pixel horizontal hairline in the text colour, faint, between the window's parts.

#include <QWidget>

namespace kx {

class Divider : public QWidget {
    Q_OBJECT

public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kx
