// Application icons: the desktop entry's Icon key, a file or a theme name, the generic icon when
// there is none, always 64 x 64 and the same icon on every later call.

#include "TempFolder.h"

#include "ui/AppIconCache.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kx::test {
namespace {

QImage pixelsOf(const QIcon& icon)
{
    return icon.pixmap(QSize(64, 64)).toImage();
}

// Only the main group's plain Icon key counts, blanks around the value dropped.
TEST(AppIconCacheTest, ReadsTheIconKey)
{
    EXPECT_EQ(AppIconCache::iconName("[Desktop Entry]\nName=Ed\nIcon[de]=ed-de\nIcon = ed \n"), "ed");
    EXPECT_EQ(AppIconCache::iconName("[Desktop Action new]\nIcon=other\n[Desktop Entry]\nIconic=x\n"), "");
}

// An entry naming an image file gets that image; an unknown id, an entry without an icon, or an id
// that is a path gets the generic icon; the cache hands out the same icon on every call.
TEST(AppIconCacheTest, LooksUpTheEntry)
{
    TempFolder apps{"kx-apps"};
    const auto logo = std::filesystem::path(KX_SOURCE_RESOURCE_DIR) / "kestrelix_logo.png";
    std::filesystem::create_directory(apps / "sub");
    std::ofstream(apps / "sub" / "org.example.Logo.desktop") << "[Desktop Entry]\nIcon=" << logo.string() << "\n";
    std::ofstream(apps / "org.example.Bare.desktop") << "[Desktop Entry]\nType=Application\n";
    std::ofstream(apps / "outside.desktop") << "[Desktop Entry]\nIcon=" << logo.string() << "\n";
    const std::vector<std::filesystem::path> folders = {apps / "sub", apps.path()};

    const QIcon withLogo = AppIconCache::lookUp("org.example.Logo", folders);
    const QIcon generic = AppIconCache::lookUp("org.example.Missing", folders);
    EXPECT_EQ(withLogo.availableSizes(), QList<QSize>{QSize(64, 64)});
    EXPECT_EQ(generic.availableSizes(), QList<QSize>{QSize(64, 64)});
    // The logo's own middle, not the generic icon's.
    const QColor middle = QImage(QString::fromStdString(logo.string())).pixelColor(64, 64);
    const QColor drawn = pixelsOf(withLogo).pixelColor(32, 32);
    EXPECT_LE(std::abs(drawn.red() - middle.red()) + std::abs(drawn.green() - middle.green()) +
                  std::abs(drawn.blue() - middle.blue()),
              24);
    EXPECT_NE(pixelsOf(withLogo), pixelsOf(generic));
    EXPECT_EQ(pixelsOf(AppIconCache::lookUp("org.example.Bare", folders)), pixelsOf(generic));
    EXPECT_EQ(pixelsOf(AppIconCache::lookUp("../outside", {apps / "sub"})), pixelsOf(generic));

    // An entry in a subfolder has the subfolder in its id, joined with '-'.
    std::filesystem::create_directory(apps / "legacy");
    std::ofstream(apps / "legacy" / "editor.desktop") << "[Desktop Entry]\nIcon=" << logo.string() << "\n";
    EXPECT_EQ(pixelsOf(AppIconCache::lookUp("legacy-editor", {apps.path()})), pixelsOf(withLogo));
    EXPECT_EQ(pixelsOf(AppIconCache::lookUp("legacy-other", {apps.path()})), pixelsOf(generic));

    // An icon name the theme lacks is looked for in the pixmaps folder beside the entries.
    TempFolder data{"kx-data"};
    std::filesystem::create_directories(data / "applications");
    std::filesystem::create_directories(data / "pixmaps");
    std::filesystem::copy_file(logo, data / "pixmaps" / "kx-mini.png");
    std::ofstream(data / "applications" / "mini.desktop") << "[Desktop Entry]\nIcon=kx-mini\n";
    EXPECT_EQ(pixelsOf(AppIconCache::lookUp("mini", {data / "applications"})), pixelsOf(withLogo));

    const QIcon cached = AppIconCache::icon("org.example.NotInstalled");
    EXPECT_FALSE(cached.isNull());
    EXPECT_EQ(AppIconCache::icon("org.example.NotInstalled").cacheKey(), cached.cacheKey());
}

}  // namespace
}  // namespace kx::test
