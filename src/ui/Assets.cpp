#include "ui/Assets.h"

#include "platform/ResourceFolder.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace kx {

namespace {
constexpr double glyphHeight = 17.0;
}

const std::optional<std::filesystem::path>& Assets::bundle()
{
    static const std::optional<std::filesystem::path> folder = ResourceFolder::find();
    return folder;
}

QImage Assets::image(const std::string& name)
{
    return image(bundle(), name);
}

QImage Assets::image(const std::optional<std::filesystem::path>& folder, const std::string& name)
{
    if (!folder)
        return {};
    const std::string file = name + ".png";
    std::error_code ec;
    std::filesystem::path path = *folder / file;
    if (!std::filesystem::is_regular_file(path, ec))
        path = *folder / "Resources" / file;
    if (!std::filesystem::is_regular_file(path, ec))
        return {};
    QImage result;
    result.load(QString::fromStdString(path.string()), "PNG");
    return result;
}

const QImage& Assets::logo()
{
    static const QImage logo = image("kestrelix_logo");
    return logo;
}

QImage Assets::menuGlyph(bool slashed, double scale)
{
    return menuGlyph(image("kestrelix_mono"), slashed, scale);
}

QImage Assets::menuGlyph(const QImage& source, bool slashed, double scale)
{
    if (source.isNull() || source.height() <= 0)
        return {};
    const double width = double(source.width()) / source.height() * glyphHeight;
    QImage out(qRound(width * scale), qRound(glyphHeight * scale), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(scale);
    out.fill(Qt::transparent);

    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, width, glyphHeight), source);
    if (slashed) {
        // Image space has y growing downwards: the slash runs from bottom-left to top-right.
        QPainterPath path;
        path.moveTo(1.5, glyphHeight - 1.5);
        path.lineTo(width - 1.5, glyphHeight - 15.5);
        // Erase a wide band first so the slash stands apart from the glyph with a gap each side.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.strokePath(path, QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.strokePath(path, QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
    }
    return out;
}

}  // namespace kx
