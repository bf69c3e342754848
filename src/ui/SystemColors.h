#pragma once
// The few colours the custom rows, the prompt and the tray glyph share. Text colours follow the
// widget's palette, so the rows read well in light and dark menus; the signal colours are fixed.

#include <QColor>

class QWidget;

namespace kx {

class SystemColors {
public:
    /// The palette's text colour of widget, or of the application when widget is null.
    static QColor label(const QWidget* widget);
    static QColor secondaryLabel(const QWidget* widget);
    static QColor tertiaryLabel(const QWidget* widget);
    /// The desktop's selection colour.
    static QColor accent(const QWidget* widget);
    /// c with its alpha multiplied by alpha.
    static QColor withAlpha(QColor c, double alpha);
    /// from blended towards to by fraction (0: from, 1: to), every channel alpha included.
    static QColor blend(const QColor& from, const QColor& to, double fraction);

    static QColor blue() { return QColor(0x00, 0x7A, 0xFF); }
    static QColor red() { return QColor(0xFF, 0x3B, 0x30); }
    static QColor orange() { return QColor(0xFF, 0x95, 0x00); }
};

}  // namespace kx
