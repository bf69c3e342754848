#include "ui/Symbols.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <utility>
#include <vector>

namespace kx {

namespace {

// Every symbol is drawn in a 1 x 1 box; the painter is scaled to the target square first.
constexpr double line = 0.085;

QPen strokePen(const QColor& color)
{
    QPen pen(color, line);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void stroke(QPainter& p, const QColor& c, const QPainterPath& path)
{
    p.strokePath(path, strokePen(c));
}

void fill(QPainter& p, const QColor& c, const QPainterPath& path)
{
    p.fillPath(path, c);
}

QPainterPath roundedRect(double x, double y, double w, double h, double r)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), r, r);
    return path;
}

QPainterPath circle(double cx, double cy, double r)
{
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), r, r);
    return path;
}

QPainterPath lines(std::initializer_list<std::initializer_list<QPointF>> polylines)
{
    QPainterPath path;
    for (const auto& polyline : polylines) {
        bool first = true;
        for (const QPointF& point : polyline) {
            if (first)
                path.moveTo(point);
            else
                path.lineTo(point);
            first = false;
        }
    }
    return path;
}

/// A glyph cut out of a filled shape, so the background shows through whatever it is.
QPainterPath cutOut(const QPainterPath& shape, const QPainterPath& strokes, double width)
{
    // Path operations flatten curves to a fixed tolerance, far too coarse in a unit box; they run
    // a hundred times larger.
    const QTransform up = QTransform::fromScale(100, 100);
    QPainterPathStroker stroker;
    stroker.setWidth(width * 100);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    const QPainterPath cut = up.map(shape).subtracted(stroker.createStroke(up.map(strokes)));
    return QTransform::fromScale(0.01, 0.01).map(cut);
}

QPainterPath thumbUp()
{
    QPainterPath hand;
    hand.moveTo(0.34, 0.47);
    hand.lineTo(0.47, 0.2);
    hand.cubicTo(0.5, 0.1, 0.62, 0.1, 0.62, 0.22);
    hand.lineTo(0.6, 0.4);
    hand.lineTo(0.8, 0.4);
    hand.cubicTo(0.88, 0.4, 0.92, 0.47, 0.9, 0.54);
    hand.lineTo(0.83, 0.82);
    hand.cubicTo(0.81, 0.87, 0.78, 0.9, 0.72, 0.9);
    hand.lineTo(0.34, 0.9);
    hand.closeSubpath();
    hand.addRoundedRect(QRectF(0.1, 0.47, 0.16, 0.43), 0.04, 0.04);
    return hand;
}

QPainterPath flipped(const QPainterPath& path)
{
    return QTransform(1, 0, 0, -1, 0, 1).map(path);
}

QPainterPath keyboardKeys(double x, double y, double w, double h)
{
    QPainterPath keys;
    const double k = 0.07;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 4; ++col)
            keys.addRect(QRectF(x + 0.1 * w + col * 0.22 * w, y + 0.2 * h + row * 0.28 * h, k, k));
    keys.addRect(QRectF(x + 0.25 * w, y + 0.74 * h, 0.5 * w, k));
    return keys;
}

using Painter = std::function<void(QPainter&, const QColor&)>;

const std::map<std::string_view, Painter>& painters()
{
    static const std::map<std::string_view, Painter> table = {
        {"gearshape",
         [](QPainter& p, const QColor& c) {
             QPainterPath gear;
             constexpr int teeth = 8;
             for (int i = 0; i < teeth * 4; ++i) {
                 const double a = 2 * std::numbers::pi * i / (teeth * 4);
                 const double r = (i % 4 < 2) ? 0.44 : 0.34;
                 const QPointF point(0.5 + r * std::cos(a), 0.5 + r * std::sin(a));
                 if (i == 0)
                     gear.moveTo(point);
                 else
                     gear.lineTo(point);
             }
             gear.closeSubpath();
             stroke(p, c, gear);
             stroke(p, c, circle(0.5, 0.5, 0.12));
         }},
        {"clock.arrow.circlepath",
         [](QPainter& p, const QColor& c) {
             QPainterPath arc;
             arc.arcMoveTo(QRectF(0.1, 0.1, 0.8, 0.8), 200);
             arc.arcTo(QRectF(0.1, 0.1, 0.8, 0.8), 200, -300);
             stroke(p, c, arc);
             stroke(p, c, lines({{{0.04, 0.5}, {0.13, 0.62}, {0.25, 0.52}}}));
             stroke(p, c, lines({{{0.5, 0.3}, {0.5, 0.52}, {0.64, 0.6}}}));
         }},
        {"square.grid.2x2",
         [](QPainter& p, const QColor& c) {
             for (double x : {0.12, 0.56})
                 for (double y : {0.12, 0.56})
                     stroke(p, c, roundedRect(x, y, 0.32, 0.32, 0.07));
         }},
        {"keyboard.fill",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, roundedRect(0.06, 0.22, 0.88, 0.56, 0.1));
             fill(p, c, keyboardKeys(0.06, 0.22, 0.88, 0.56));
         }},
        {"exclamationmark.triangle.fill",
         [](QPainter& p, const QColor& c) {
             QPainterPath triangle;
             triangle.moveTo(0.5, 0.08);
             triangle.lineTo(0.95, 0.88);
             triangle.lineTo(0.05, 0.88);
             triangle.closeSubpath();
             QPainterPath mark = lines({{{0.5, 0.36}, {0.5, 0.6}}});
             mark.addEllipse(QPointF(0.5, 0.75), 0.01, 0.01);
             fill(p, c, cutOut(triangle, mark, 0.1));
         }},
        {"lock.fill",
         [](QPainter& p, const QColor& c) {
             QPainterPath shackle;
             shackle.moveTo(0.3, 0.46);
             shackle.lineTo(0.3, 0.32);
             shackle.arcTo(QRectF(0.3, 0.1, 0.4, 0.42), 180, -180);
             shackle.lineTo(0.7, 0.46);
             stroke(p, c, shackle);
             fill(p, c, roundedRect(0.18, 0.44, 0.64, 0.48, 0.08));
         }},
        {"face.smiling",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, circle(0.5, 0.5, 0.42));
             fill(p, c, circle(0.36, 0.4, 0.055));
             fill(p, c, circle(0.64, 0.4, 0.055));
             QPainterPath smile;
             smile.arcMoveTo(QRectF(0.28, 0.3, 0.44, 0.42), 200);
             smile.arcTo(QRectF(0.28, 0.3, 0.44, 0.42), 200, 140);
             stroke(p, c, smile);
         }},
        {"app.dashed",
         [](QPainter& p, const QColor& c) {
             QPen pen = strokePen(c);
             pen.setDashPattern({1.5, 1.8});
             pen.setCapStyle(Qt::FlatCap);
             p.strokePath(roundedRect(0.1, 0.1, 0.8, 0.8, 0.2), pen);
         }},
        {"speaker.wave.2",
         [](QPainter& p, const QColor& c) {
             QPainterPath speaker;
             speaker.moveTo(0.06, 0.38);
             speaker.lineTo(0.22, 0.38);
             speaker.lineTo(0.42, 0.18);
             speaker.lineTo(0.42, 0.82);
             speaker.lineTo(0.22, 0.62);
             speaker.lineTo(0.06, 0.62);
             speaker.closeSubpath();
             fill(p, c, speaker);
             for (double r : {0.16, 0.3}) {
                 QPainterPath wave;
                 wave.arcMoveTo(QRectF(0.5 - r, 0.5 - r, 2 * r, 2 * r), -45);
                 wave.arcTo(QRectF(0.5 - r, 0.5 - r, 2 * r, 2 * r), -45, 90);
                 stroke(p, c, wave.translated(0.08, 0));
             }
         }},
        {"play.rectangle",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, roundedRect(0.06, 0.18, 0.88, 0.64, 0.12));
             QPainterPath play;
             play.moveTo(0.42, 0.35);
             play.lineTo(0.64, 0.5);
             play.lineTo(0.42, 0.65);
             play.closeSubpath();
             fill(p, c, play);
         }},
        {"doc.text",
         [](QPainter& p, const QColor& c) {
             stroke(p, c,
                    lines({{{0.2, 0.06}, {0.6, 0.06}, {0.8, 0.26}, {0.8, 0.94}, {0.2, 0.94}, {0.2, 0.06}},
                           {{0.6, 0.06}, {0.6, 0.26}, {0.8, 0.26}}}));
             stroke(p, c,
                    lines({{{0.34, 0.46}, {0.66, 0.46}}, {{0.34, 0.62}, {0.66, 0.62}}, {{0.34, 0.78}, {0.56, 0.78}}}));
         }},
        {"stethoscope",
         [](QPainter& p, const QColor& c) {
             QPainterPath tube;
             tube.moveTo(0.18, 0.08);
             tube.lineTo(0.18, 0.36);
             tube.cubicTo(0.18, 0.6, 0.5, 0.6, 0.5, 0.36);
             tube.lineTo(0.5, 0.08);
             tube.moveTo(0.34, 0.56);
             tube.cubicTo(0.34, 0.9, 0.74, 0.95, 0.76, 0.66);
             stroke(p, c, tube);
             stroke(p, c, circle(0.76, 0.56, 0.1));
         }},
        {"keyboard.badge.eye",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, roundedRect(0.04, 0.3, 0.66, 0.44, 0.08));
             fill(p, c, keyboardKeys(0.04, 0.3, 0.66, 0.44));
             QPainterPath eye;
             eye.moveTo(0.62, 0.78);
             eye.quadTo(0.8, 0.6, 0.98, 0.78);
             eye.quadTo(0.8, 0.96, 0.62, 0.78);
             stroke(p, c, eye);
             fill(p, c, circle(0.8, 0.78, 0.05));
         }},
        {"trash",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, lines({{{0.12, 0.22}, {0.88, 0.22}}, {{0.38, 0.22}, {0.4, 0.1}, {0.6, 0.1}, {0.62, 0.22}}}));
             stroke(p, c, lines({{{0.2, 0.22}, {0.26, 0.92}, {0.74, 0.92}, {0.8, 0.22}}}));
             stroke(p, c, lines({{{0.42, 0.38}, {0.43, 0.76}}, {{0.58, 0.38}, {0.57, 0.76}}}));
         }},
        {"sparkles",
         [](QPainter& p, const QColor& c) {
             const auto star = [](double cx, double cy, double r) {
                 QPainterPath s;
                 s.moveTo(cx, cy - r);
                 s.quadTo(cx, cy, cx + r, cy);
                 s.quadTo(cx, cy, cx, cy + r);
                 s.quadTo(cx, cy, cx - r, cy);
                 s.quadTo(cx, cy, cx, cy - r);
                 return s;
             };
             fill(p, c, star(0.42, 0.56, 0.36));
             fill(p, c, star(0.8, 0.2, 0.16));
         }},
        {"arrow.down.circle",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, circle(0.5, 0.5, 0.42));
             stroke(p, c, lines({{{0.5, 0.26}, {0.5, 0.72}}, {{0.32, 0.54}, {0.5, 0.72}, {0.68, 0.54}}}));
         }},
        {"envelope",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, roundedRect(0.06, 0.2, 0.88, 0.6, 0.08));
             stroke(p, c, lines({{{0.1, 0.26}, {0.5, 0.56}, {0.9, 0.26}}}));
         }},
        {"checkmark.circle.fill",
         [](QPainter& p, const QColor& c) {
             fill(p, c, cutOut(circle(0.5, 0.5, 0.46), lines({{{0.3, 0.52}, {0.44, 0.66}, {0.7, 0.36}}}), 0.1));
         }},
        {"macwindow",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, roundedRect(0.06, 0.14, 0.88, 0.72, 0.1));
             stroke(p, c, lines({{{0.06, 0.34}, {0.94, 0.34}}}));
         }},
        {"hand.thumbsup", [](QPainter& p, const QColor& c) { stroke(p, c, thumbUp()); }},
        {"hand.thumbsup.fill",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, thumbUp());
             fill(p, c, thumbUp());
         }},
        {"hand.thumbsdown", [](QPainter& p, const QColor& c) { stroke(p, c, flipped(thumbUp())); }},
        {"hand.thumbsdown.fill",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, flipped(thumbUp()));
             fill(p, c, flipped(thumbUp()));
         }},
        {"text.cursor",
         [](QPainter& p, const QColor& c) {
             stroke(p, c,
                    lines({{{0.5, 0.12}, {0.5, 0.88}},
                           {{0.34, 0.1}, {0.5, 0.16}, {0.66, 0.1}},
                           {{0.34, 0.9}, {0.5, 0.84}, {0.66, 0.9}}}));
         }},
        {"checkmark",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, lines({{{0.16, 0.52}, {0.4, 0.76}, {0.84, 0.26}}}));
         }},
        {"doc.on.clipboard",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, roundedRect(0.18, 0.14, 0.64, 0.8, 0.08));
             fill(p, c, roundedRect(0.34, 0.06, 0.32, 0.16, 0.05));
             stroke(p, c,
                    lines({{{0.32, 0.46}, {0.68, 0.46}}, {{0.32, 0.62}, {0.68, 0.62}}, {{0.32, 0.78}, {0.56, 0.78}}}));
         }},
        {"arrow.right",
         [](QPainter& p, const QColor& c) {
             stroke(p, c, lines({{{0.1, 0.5}, {0.88, 0.5}}, {{0.6, 0.24}, {0.88, 0.5}, {0.6, 0.76}}}));
         }},
    };
    return table;
}

}  // namespace

void Symbols::paint(QPainter& painter, const QRectF& rect, std::string_view name, const QColor& color)
{
    const auto found = painters().find(name);
    if (found == painters().end())
        return;
    const double side = std::min(rect.width(), rect.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side, side);
    found->second(painter, color);
    painter.restore();
}

QPixmap Symbols::pixmap(std::string_view name, int side, const QColor& color, double dpr)
{
    QPixmap pixmap(qRound(side * dpr), qRound(side * dpr));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(painter, QRectF(0, 0, side, side), name, color);
    return pixmap;
}

QString Symbols::withImages(const QString& text, int side, const QColor& color)
{
    // The emoji a text may hold, and the symbols drawn in their place.
    static const std::vector<std::pair<QString, std::string_view>> emoji = {
        {QString::fromUtf8("\U0001F642"), "face.smiling"},
        {QString::fromUtf8("\U0001F512"), "lock.fill"},
        {QString::fromUtf8("\u26A0\uFE0F"), "exclamationmark.triangle.fill"},
    };
    QString html = text.toHtmlEscaped();
    for (const auto& [character, name] : emoji) {
        if (!html.contains(character))
            continue;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        pixmap(name, side, color).toImage().save(&buffer, "PNG");
        const QString image = QStringLiteral("<img src=\"data:image/png;base64,%1\" width=\"%2\" height=\"%2\" "
                                             "style=\"vertical-align: middle\">")
                                  .arg(QString::fromLatin1(png.toBase64()))
                                  .arg(side);
        html.replace(character, image);
    }
    return html;
}

QIcon Symbols::icon(std::string_view name, const QColor& color, int side)
{
    QIcon icon;
    icon.addPixmap(pixmap(name, side, color), QIcon::Normal);
    QColor faded = color;
    faded.setAlphaF(color.alphaF() * 0.35f);
    icon.addPixmap(pixmap(name, side, faded), QIcon::Disabled);
    return icon;
}

}  // namespace kx
