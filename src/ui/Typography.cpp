#include "ui/Typography.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace kx {

namespace {
// Qt measures points at 72 per inch of a 96-per-inch logical screen.
constexpr double pointsPerPixel = 72.0 / 96.0;
}

QFont Typography::font(double size, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(size * pointsPerPixel);
    font.setWeight(weight);
    return font;
}

QFont Typography::rounded(double size, QFont::Weight weight)
{
    QFont result = font(size, weight);
    static const QStringList candidates = {"Nunito", "Ubuntu", "Comfortaa"};
    static const QStringList families = QFontDatabase::families();
    for (const QString& family : candidates)
        if (families.contains(family)) {
            result.setFamily(family);
            break;
        }
    return result;
}

}  // namespace kx
