#include "ui/AppIconCache.h"

#include "platform/DesktopEntries.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <algorithm>
#include <map>
#include <sstream>

namespace kx {

namespace {

// The icon an entry in applicationsFolder names: an image file, a theme icon, or, as freedesktop icon
// lookup falls back to, an image in the "pixmaps" folder beside it (xterm's mini.xterm).
QIcon themed(const std::string& name, const std::filesystem::path& applicationsFolder)
{
    if (name.empty())
        return {};
    const QString value = QString::fromStdString(name);
    std::error_code ec;
    if (std::filesystem::path(name).is_absolute())
        return std::filesystem::is_regular_file(name, ec) ? QIcon(value) : QIcon();
    QIcon icon = QIcon::fromTheme(value);
    if (!icon.isNull() || name.find('/') != std::string::npos)
        return icon;
    for (const char* extension : {".png", ".svg", ".xpm"}) {
        const std::filesystem::path file = applicationsFolder.parent_path() / "pixmaps" / (name + extension);
        if (std::filesystem::is_regular_file(file, ec))
            return QIcon(QString::fromStdString(file.string()));
    }
    return icon;
}

// The desktop entry file with this id in folder: "<id>.desktop", or one in a subfolder whose path
// below folder, '/' turned into '-', is the id ("kde4-kate" for kde4/kate.desktop). Empty when none.
std::filesystem::path entryFile(const std::filesystem::path& folder, const std::string& appID)
{
    std::error_code error;
    const std::filesystem::path direct = folder / (appID + ".desktop");
    if (std::filesystem::is_regular_file(direct, error))
        return direct;
    if (appID.find('-') == std::string::npos)
        return {};
    const auto options = std::filesystem::directory_options::skip_permission_denied;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, options, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it.depth() == 0 || it->path().extension() != ".desktop")
            continue;
        std::string id = it->path().lexically_relative(folder).replace_extension().string();
        std::replace(id.begin(), id.end(), '/', '-');
        std::error_code unreadable;
        if (id == appID && it->is_regular_file(unreadable))
            return it->path();
    }
    return {};
}

QIcon genericApplication()
{
    QIcon generic = QIcon::fromTheme("application-x-executable");
    // Without an icon theme the style still has a plain file icon.
    if (generic.isNull())
        generic = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return generic;
}

/// The icon drawn once at the fixed size, so every user gets the same pixels.
QIcon atFixedSize(const QIcon& icon)
{
    const double ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap = icon.pixmap(QSize(AppIconCache::iconSize, AppIconCache::iconSize), ratio);
    if (pixmap.deviceIndependentSize().toSize() != QSize(AppIconCache::iconSize, AppIconCache::iconSize)) {
        // Themes without an image of this size give a smaller one; centre it on a canvas of the size.
        QPixmap canvas(QSize(AppIconCache::iconSize, AppIconCache::iconSize) * ratio);
        canvas.setDevicePixelRatio(ratio);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        const QSizeF s = pixmap.deviceIndependentSize();
        painter.drawPixmap(QPointF((AppIconCache::iconSize - s.width()) / 2, (AppIconCache::iconSize - s.height()) / 2),
                           pixmap);
        painter.end();
        pixmap = canvas;
    }
    return QIcon(pixmap);
}

}  // namespace

std::string AppIconCache::iconName(const std::string& desktopEntry)
{
    std::istringstream in(desktopEntry);
    bool mainGroup = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with('[')) {
            mainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!mainGroup || !line.starts_with("Icon"))
            continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        if (key != "Icon")
            continue;
        std::string value = line.substr(equals + 1);
        const auto first = value.find_first_not_of(' ');
        value = first == std::string::npos ? "" : value.substr(first);
        while (!value.empty() && value.back() == ' ')
            value.pop_back();
        return value;
    }
    return {};
}

QIcon AppIconCache::lookUp(const std::string& appID, const std::vector<std::filesystem::path>& folders)
{
    QIcon found;
    // An id is a file name; one with a path in it names no desktop entry.
    if (!appID.empty() && appID.find('/') == std::string::npos && appID != "." && appID != "..") {
        for (const auto& folder : folders) {
            const std::filesystem::path file = entryFile(folder, appID);
            if (file.empty())
                continue;
            found = themed(iconName(platform::DesktopEntries::read(file)), folder);
            break;
        }
    }
    return atFixedSize(found.isNull() ? genericApplication() : found);
}

QIcon AppIconCache::icon(const std::string& appID)
{
    static std::map<std::string, QIcon> cache;
    const auto cached = cache.find(appID);
    if (cached != cache.end())
        return cached->second;
    return cache.emplace(appID, lookUp(appID, platform::DesktopEntries::standardFolders())).first->second;
}

}  // namespace kx
