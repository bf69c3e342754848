#pragma once
// The small line symbols of the settings window, drawn in code so they look the same on every
// desktop whatever icon theme it has (and in tests, which have none). Symbols are known by the
// names of the system symbols they stand for ("trash", "hand.thumbsup.fill").

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRectF>

#include <string_view>

class QPainter;

namespace kx {

class Symbols {
public:
    /// Draws name in color, fitted and centred in rect; an unknown name draws nothing.
    static void paint(QPainter& painter, const QRectF& rect, std::string_view name, const QColor& color);
    /// name drawn on a transparent square of side points, for the device pixel ratio dpr.
    static QPixmap pixmap(std::string_view name, int side, const QColor& color, double dpr = 2.0);
    /// text as rich text with its emoji (🙂, 🔒, ⚠️) drawn as these symbols, side points high, in
    /// color: a desktop without an emoji font would show empty boxes. The rest stays plain text.
    static QString withImages(const QString& text, int side, const QColor& color);
    /// An icon of name in color, for buttons; the disabled state is drawn faded.
    static QIcon icon(std::string_view name, const QColor& color, int side = 16);
};

}  // namespace kx
