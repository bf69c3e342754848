#pragma once
// A short status message ("… copied", a swap, an undo) where it can be read: the tray icon is too
// small to hold it, so a small frameless label shows it beside the icon, or by the pointer when the
// tray host does not tell where the icon is. It never takes the focus and ignores the pointer.

#include <QLabel>
#include <QRect>
#include <QTimer>

namespace kx {

class FlashLabel final : public QLabel {
    Q_OBJECT

public:
    /// As long as the tray icon shows the text.
    static constexpr int visibleMilliseconds = 1400;

    FlashLabel();

    /// Shows text beside anchor (the tray icon's area; empty: the pointer) and hides it
    /// visibleMilliseconds later; a second call replaces the text and starts the time anew.
    void flash(const QString& text, const QRect& anchor);

    /// The label's top-left corner: under the anchor when it lies in the top half of screen, else
    /// above it, centred on it and kept inside screen.
    static QPoint placement(QSize size, const QRect& anchor, const QRect& screen);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_hide;
};

}  // namespace kx
