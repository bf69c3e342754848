#include "ui/Typography.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>

#include <algorithm>

namespace kx {

QFont Typography::font(double size, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    // The desktop's font plays the part of the 13 px body; the rest keep their proportions to it.
    const double ratio = size / body;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * ratio);
    else
        font.setPixelSize(std::max(1, qRound(font.pixelSize() * ratio)));
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

double Typography::scaled(double length)
{
    const double bodyPixels = QFontInfo(font(body)).pixelSize();
    return std::max(length, length * bodyPixels / body);
}

}  // namespace kx
