// The tray icon's picture: each state's look, the ink chosen against the panel, the outline that
// keeps the glyph readable where the panel is unknown, the square at every size, and the panel's
// colour read from around an icon.

#include "ui/TrayGlyph.h"
#include "ui/Assets.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace kx::test {
namespace {

QImage mono()
{
    return Assets::image(std::filesystem::path(KX_SOURCE_RESOURCE_DIR), "kestrelix_mono");
}

int pixelsWhere(const QImage& image, const std::function<bool(QColor)>& also)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor c = image.pixelColor(x, y); c.alpha() > 0 && also(c))
                ++count;
    return count;
}

// icon laid on a panel of colour panel, as the tray shows it.
QImage onPanel(const QImage& icon, const QColor& panel)
{
    QImage out(icon.size(), QImage::Format_RGB32);
    out.fill(panel);
    QPainter(&out).drawImage(0, 0, icon);
    return out;
}

// How many of the pixels stand out from panel at 3:1 or more.
int standingOut(const QImage& shown, const QColor& panel)
{
    return pixelsWhere(shown, [&](QColor c) { return TrayGlyph::contrast(c, panel) >= 3.0; });
}

const QColor lightPanel(0xEB, 0xEB, 0xED);
const QColor darkPanel(0x1F, 0x1F, 0x24);

// The glyph as the states ask: dark ink on a light panel; orange and slashed without permissions;
// faint under Secure Input.
TEST(TrayGlyphTest, DrawsEachState)
{
    const QImage on = TrayGlyph::render(mono(), {}, lightPanel, 64);
    ASSERT_FALSE(on.isNull());
    EXPECT_EQ(on.size(), QSize(64, 64));
    EXPECT_GT(pixelsWhere(on, [](QColor c) { return c.alpha() > 200 && c.red() < 40; }), 600);

    const QImage off = TrayGlyph::render(mono(), {.slashed = true, .tint = GlyphTint::orange}, lightPanel, 64);
    // Orange, darkened where the panel is light enough to swallow it.
    const auto orange = [](QColor c) { return c.red() > 110 && c.red() > c.green() + 40 && c.green() > c.blue() + 30; };
    EXPECT_GT(pixelsWhere(off, orange), 100);
    EXPECT_GT(pixelsWhere(TrayGlyph::render(mono(), {.slashed = true, .tint = GlyphTint::orange}, darkPanel, 64),
                          [](QColor c) { return c.red() > 200 && c.green() > 100 && c.blue() < 60; }),
              100);
    EXPECT_NE(off, TrayGlyph::render(mono(), {.tint = GlyphTint::orange}, lightPanel, 64));

    // Paused is paler than on, not see-through.
    const QImage secure =
        TrayGlyph::render(mono(), {.tint = GlyphTint::tertiaryLabel, .appearsDisabled = true}, lightPanel, 64);
    EXPECT_GT(pixelsWhere(secure, [](QColor c) { return c.alpha() > 200 && c.red() > 80; }), 600);
    EXPECT_EQ(pixelsWhere(secure, [](QColor c) { return c.alpha() > 200 && c.red() < 40; }), 0);

    EXPECT_TRUE(TrayGlyph::render(QImage(), {}, lightPanel, 22).isNull());
}

// Whatever the panel's colour, the ink stands out from it at 4:1 or more (mid grey, the hardest,
// allows little more); on an unknown panel the ink is light, as most panels are dark.
TEST(TrayGlyphTest, InkStandsOutFromThePanel)
{
    for (const QColor panel : {QColor(Qt::black), darkPanel, QColor(0x3C, 0x3F, 0x41), QColor(0x80, 0x80, 0x80),
                               QColor(0x2A, 0x5D, 0xB0), QColor(0xD6, 0xD6, 0xD6), lightPanel, QColor(Qt::white)})
        EXPECT_GE(TrayGlyph::contrast(TrayGlyph::ink(panel), panel), 4.0) << panel.name().toStdString();
    EXPECT_GT(TrayGlyph::ink(std::nullopt).lightness(), 200);
}

// At the tray's usual 22 pixels, drawn for a panel it has read or for one it does not know, every
// state (on, the tertiary ink, paused under Secure Input, the orange one of a missing permission,
// also paused) shows a good part of its pixels at 3:1 on a light panel as on a dark one: its ink,
// or where the panel is unknown and that cannot stand out, its outline. On a panel it has read,
// the ink itself stands out: nearly every pixel.
TEST(TrayGlyphTest, ReadsOnEitherPanelInEveryState)
{
    for (const StatusGlyph& glyph :
         {StatusGlyph{}, StatusGlyph{.tint = GlyphTint::tertiaryLabel},
          StatusGlyph{.tint = GlyphTint::tertiaryLabel, .appearsDisabled = true},
          StatusGlyph{.slashed = true, .tint = GlyphTint::orange},
          StatusGlyph{.slashed = true, .tint = GlyphTint::orange, .appearsDisabled = true}}) {
        for (const QColor& panel : {lightPanel, darkPanel}) {
            for (const std::optional<QColor> known : {std::optional(panel), std::optional<QColor>()}) {
                const QImage icon = TrayGlyph::render(mono(), glyph, known, 22);
                // The shape's pixels, counted where it is drawn at full strength.
                const int inked = pixelsWhere(TrayGlyph::render(mono(), {.slashed = glyph.slashed}, known, 22),
                                              [](QColor c) { return c.alpha() > 128; });
                EXPECT_GE(standingOut(onPanel(icon, panel), panel), known ? inked * 4 / 5 : inked / 4)
                    << inked << " inked; " << panel.name().toStdString() << " tint " << int(glyph.tint)
                    << (glyph.appearsDisabled ? " paused" : "") << (known ? " known" : "");
            }
        }
    }
}

// Every size is square, keys on whole pixels where the size allows, and leaves the top and
// bottom rows to the panel: they are where the panel's colour is read.
TEST(TrayGlyphTest, SquareAtEverySide)
{
    const QIcon icon = TrayGlyph::icon(mono(), {}, darkPanel);
    ASSERT_EQ(icon.availableSizes().size(), std::size(TrayGlyph::sides));
    for (const int side : TrayGlyph::sides) {
        const QImage image = icon.pixmap(side, side).toImage();
        EXPECT_EQ(image.size(), QSize(side, side));
        for (const int y : {0, side - 1})
            for (int x = 0; x < side; ++x)
                ASSERT_EQ(image.pixelColor(x, y).alpha(), 0) << side << " px, row " << y;
    }
    // At 22 the glyph is 16 rows high, one per row of its artwork: a key's row is all ink or none.
    const QImage small = onPanel(TrayGlyph::render(mono(), {}, lightPanel, 22), lightPanel);
    const int grey = pixelsWhere(small, [](QColor c) { return c.lightness() > 60 && c.lightness() < 200; });
    EXPECT_LT(grey, 12) << "blurred keys";
}

// The panel's colour is the median of the slot's top and bottom rows: a glyph in between and a
// few pixels of the panel's border do not sway it.
TEST(TrayGlyphTest, ReadsThePanelAroundTheIcon)
{
    QImage slot(22, 22, QImage::Format_RGB32);
    slot.fill(darkPanel);
    QPainter painter(&slot);
    painter.fillRect(1, 3, 20, 16, Qt::white);
    painter.fillRect(0, 0, 4, 1, QColor(0x90, 0x90, 0x90));
    painter.end();
    EXPECT_EQ(TrayGlyph::background(slot), darkPanel);
    EXPECT_EQ(TrayGlyph::background(QImage()), std::nullopt);
}

}  // namespace
}  // namespace kx::test
