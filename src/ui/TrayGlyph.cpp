#include "ui/TrayGlyph.h"

#include "ui/Assets.h"
#include "ui/SystemColors.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kx {

namespace {

// Not pure black and white: softer on the eye, and still over 15:1 against the other end.
const QColor lightInk(0xF5, 0xF5, 0xF5);
const QColor darkInk(0x1E, 0x1E, 0x1E);

double luminance(const QColor& c)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

QColor tinted(GlyphTint tint, const QColor& ink)
{
    switch (tint) {
    case GlyphTint::none:
    case GlyphTint::tertiaryLabel:
        return ink;
    case GlyphTint::orange:
        return SystemColors::orange();
    }
    return ink;
}

// The tertiary tint is the ink at half strength; a disabled glyph is dimmed by half again.
double strength(const StatusGlyph& glyph)
{
    return (glyph.tint == GlyphTint::tertiaryLabel ? 0.5 : 1.0) * (glyph.appearsDisabled ? 0.5 : 1.0);
}

QColor mix(const QColor& from, const QColor& to, double share)
{
    const auto channel = [share](double a, double b) { return float(a + (b - a) * share); };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                            channel(from.blueF(), to.blueF()));
}

// The fill: tint laid on panel at strength, then taken toward ink as far as it must go to stand out
// from the panel (an orange too close to a light panel darkens, a paused glyph stays visible). An
// unknown panel is taken as dark; the outline carries the glyph on a light one.
QColor standingFill(const QColor& tint, const QColor& ink, const QColor& panel, double strength)
{
    constexpr double leastContrast = 3.3;
    const QColor start = mix(panel, tint, strength);
    for (int step = 0; step <= 50; ++step)
        if (const QColor fill = mix(start, ink, step / 50.0); TrayGlyph::contrast(fill, panel) >= leastContrast)
            return fill;
    return ink;
}

// The glyph's height in pixels in a square of side with room for outline around it: a whole
// multiple of the artwork's 16-row grid where that comes near the largest fit, so the keys stay
// sharp (the outline may then be narrower at the sides), else the largest fit.
double glyphHeight(int side, int outline, double aspect)
{
    const auto fitting = [aspect](double room) { return std::min(room, room / aspect); };
    const double fit = fitting(side - 2.0 * outline);
    const double grid = 16 * std::floor(fitting(side - outline) / 16);
    return grid >= 0.85 * fit ? grid : fit;
}

// The shape's coverage in colour.
QImage painted(const QImage& shape, const QColor& colour)
{
    QImage out = shape;
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(out.rect(), colour);
    return out;
}

}  // namespace

QColor TrayGlyph::ink(std::optional<QColor> background)
{
    if (!background)
        return lightInk;
    return contrast(lightInk, *background) >= contrast(darkInk, *background) ? lightInk : darkInk;
}

double TrayGlyph::contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::optional<QColor> TrayGlyph::background(const QImage& slot)
{
    if (slot.isNull())
        return std::nullopt;
    const QImage pixels = slot.convertToFormat(QImage::Format_RGB32);
    std::vector<QColor> edge;
    for (const int y : {0, pixels.height() - 1})
        for (int x = 0; x < pixels.width(); ++x)
            edge.push_back(pixels.pixelColor(x, y));
    const auto middle = edge.begin() + static_cast<std::ptrdiff_t>(edge.size() / 2);
    std::ranges::nth_element(edge, middle, {}, luminance);
    return *middle;
}

QImage TrayGlyph::render(const QImage& source, const StatusGlyph& glyph, std::optional<QColor> background, int side)
{
    const QImage unit = Assets::menuGlyph(source, glyph.slashed);
    if (unit.isNull())
        return {};
    // About one pixel at the usual 22: enough to trace the shape, too little to thicken it.
    const int outline = std::max(1, static_cast<int>(std::lround(side / 22.0)));
    const QSizeF size = unit.deviceIndependentSize();
    const double aspect = size.width() / size.height();
    const double height = glyphHeight(side, outline, aspect);
    // Drawn at four times the size, then reduced by area: the painter's own scaling samples, and
    // blurs some rows of keys while leaving others sharp.
    QImage shape =
        Assets::menuGlyph(source, glyph.slashed, 4 * height / size.height())
            .scaled(QSize(static_cast<int>(std::lround(height * aspect)), static_cast<int>(std::lround(height))),
                    Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    shape.setDevicePixelRatio(1);

    const QColor fill = standingFill(tinted(glyph.tint, ink(background)), ink(background), background.value_or(darkInk),
                                     strength(glyph));
    QImage layer(side, side, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        const QPoint at((side - shape.width()) / 2, (side - shape.height()) / 2);
        // Where the fill stands out from a panel it has read, an outline would only add a rim;
        // a fill that does not (orange on a light panel) gets one too.
        if (!background || contrast(fill, *background) < 3.0) {
            const QColor edge = contrast(lightInk, fill) > contrast(darkInk, fill) ? lightInk : darkInk;
            const QImage outlined = painted(shape, edge);
            for (int dx = -outline; dx <= outline; ++dx)
                for (int dy = -outline; dy <= outline; ++dy)
                    if (dx * dx + dy * dy <= outline * outline + outline)
                        painter.drawImage(at + QPoint(dx, dy), outlined);
        }
        painter.drawImage(at, painted(shape, fill));
    }

    return layer;
}

QIcon TrayGlyph::icon(const QImage& source, const StatusGlyph& glyph, std::optional<QColor> background)
{
    QIcon icon;
    for (const int side : sides) {
        const QImage image = render(source, glyph, background, side);
        if (image.isNull())
            return {};
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace kx
