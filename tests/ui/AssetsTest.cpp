// The two images: found in the resource folder or its Resources subfolder, and the tray glyph drawn
// 17 units high from the monochrome image, with its slash cut into it.

#include "TempFolder.h"

#include "ui/Assets.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kx::test {
namespace {

QImage opaque(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::black);
    return image;
}

// An image only in the Resources subfolder loads; a missing or undecodable one, or no folder, is null.
TEST(AssetsTest, ImagesComeFromTheFolderOrItsResourcesSubfolder)
{
    TempFolder folder{"kx-assets"};
    std::filesystem::create_directory(folder / "Resources");
    ASSERT_TRUE(opaque(4, 2).save(QString::fromStdString((folder / "Resources" / "kestrelix_mono.png").string())));
    std::ofstream(folder / "kestrelix_logo.png") << "not an image";

    EXPECT_EQ(Assets::image(folder.path(), "kestrelix_mono").size(), QSize(4, 2));
    EXPECT_TRUE(Assets::image(folder.path(), "kestrelix_logo").isNull());
    EXPECT_TRUE(Assets::image(folder.path(), "absent").isNull());
    EXPECT_TRUE(Assets::image(std::nullopt, "kestrelix_mono").isNull());
}

// The glyph is 17 high and as wide as the source's aspect ratio asks; no source, no glyph.
TEST(AssetsTest, GlyphFollowsTheSourcesAspectRatio)
{
    EXPECT_EQ(Assets::menuGlyph(opaque(34, 17), false).size(), QSize(34, 17));
    const QImage narrow = Assets::menuGlyph(opaque(20, 40), true, 2.0);
    EXPECT_EQ(narrow.deviceIndependentSize(), QSizeF(8.5, 17));
    EXPECT_TRUE(Assets::menuGlyph(QImage(), false).isNull());
    EXPECT_TRUE(Assets::menuGlyph(QImage(20, 0, QImage::Format_ARGB32), false).isNull());
}

// The slash runs from bottom-left to top-right with a cleared gap beside it; the rest of the glyph stays.
TEST(AssetsTest, SlashIsCutIntoTheGlyph)
{
    constexpr double scale = 4.0;
    const QImage plain = Assets::menuGlyph(opaque(34, 17), false, scale);
    const QImage slashed = Assets::menuGlyph(opaque(34, 17), true, scale);
    const auto alphaAt = [&](const QImage& image, double x, double y) {
        return image.pixelColor(int(x * scale), int(y * scale)).alpha();
    };

    EXPECT_EQ(alphaAt(slashed, 17.1, 8.6), 255);  // on the slash
    EXPECT_EQ(alphaAt(slashed, 2.1, 2.1), 255);   // far from it
    // 1.4 units from the slash, near its lower-left end: inside the cleared band.
    EXPECT_EQ(alphaAt(slashed, 4.6, 15.6), 0);
    EXPECT_EQ(alphaAt(plain, 4.6, 15.6), 255);
}

}  // namespace
}  // namespace kx::test
