#pragma once
// A short text on a tinted rounded background: the beta badge, the kind badges and the layout
// chips of the settings window. It draws itself and takes exactly the size its text needs.

#include <QColor>
#include <QFont>
#include <QWidget>

namespace kx {

class PillLabel : public QWidget {
    Q_OBJECT

public:
    struct Look {
        QFont font;
        QColor text;
        QColor fill;
        /// Corner radius; a negative radius makes a capsule.
        double radius = -1;
        int paddingX = 5;
        int paddingY = 2;
    };

    PillLabel(const QString& text, Look look, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    Look m_look;
};

}  // namespace kx
