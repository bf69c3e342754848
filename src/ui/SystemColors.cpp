#include "ui/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>
#include <QWidget>

namespace kx {

namespace {

QPalette paletteOf(const QWidget* widget)
{
    return widget ? widget->palette() : QGuiApplication::palette();
}

}  // namespace

QColor SystemColors::label(const QWidget* widget)
{
    return paletteOf(widget).color(QPalette::WindowText);
}

QColor SystemColors::secondaryLabel(const QWidget* widget)
{
    return withAlpha(label(widget), 0.5);
}

QColor SystemColors::tertiaryLabel(const QWidget* widget)
{
    return withAlpha(label(widget), 0.26);
}

QColor SystemColors::accent(const QWidget* widget)
{
    return paletteOf(widget).color(QPalette::Highlight);
}

QColor SystemColors::withAlpha(QColor c, double alpha)
{
    c.setAlphaF(float(c.alphaF() * alpha));
    return c;
}

QColor SystemColors::blend(const QColor& from, const QColor& to, double fraction)
{
    const auto mix = [fraction](float a, float b) { return a + (b - a) * float(fraction); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()), mix(from.blueF(), to.blueF()),
                            mix(from.alphaF(), to.alphaF()));
}

}  // namespace kx
