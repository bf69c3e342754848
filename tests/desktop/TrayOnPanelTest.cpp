// The real program's tray icon on real panels: xfce4-panel's status tray, which draws the icon
// itself (StatusNotifierItem over D-Bus), and trayer, which embeds the icon's window (XEmbed);
// each with a dark and a light background, at scale 1 and 2. The icon must stand out from the
// panel behind it, read from the screen, and keep a square shape. On trayer at each edge and
// thickness it shows centred and whole in the slot it is given; xfce's tray gets our menu over
// D-Bus for a right-click; with no tray at all the settings window comes up instead.

// gtest goes first: X11 defines None, which gtest uses as a name; Qt before X11 too, whose Bool
// and Status macros Qt's headers meet.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QRect>
#include <QScreen>

#include "DesktopSession.h"
#include "TempFolder.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kx::test {
namespace {

enum class Tray { statusNotifier, xembed };

struct PanelSetting {
    const char* name;
    Tray tray;
    QColor background;
};

void PrintTo(const PanelSetting& setting, std::ostream* out)
{
    *out << setting.name;
}

// Measured here rather than taken from the program, so that a fault there cannot hide itself.
double luminance(const QColor& c)
{
    const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) <= 6 && std::abs(a.green() - b.green()) <= 6 &&
           std::abs(a.blue() - b.blue()) <= 6;
}

QImage grab(const QRect& area)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QColor median(const QImage& image)
{
    std::vector<QRgb> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            pixels.push_back(image.pixel(x, y));
    const auto middle = pixels.begin() + static_cast<std::ptrdiff_t>(pixels.size() / 2);
    std::ranges::nth_element(pixels, middle, {}, [](QRgb p) { return qGray(p); });
    return QColor(*middle);
}

bool busNameOwned(const QString& name)
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
}

struct BusObject {
    QString service;
    QString path;
};

// The status notifier item that the program of pid put on the bus, if the panel knows it.
std::optional<BusObject> statusNotifierItem(pid_t pid)
{
    const QDBusMessage list = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                       "org.freedesktop.DBus.Properties", "Get")
        << "org.kde.StatusNotifierWatcher"
        << "RegisteredStatusNotifierItems");
    if (list.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    for (const QString& item : list.arguments().at(0).value<QDBusVariant>().variant().toStringList()) {
        // "service/path", or a bare service at the usual path; ours is owned by the program.
        const qsizetype slash = item.indexOf('/');
        const QString service = slash < 0 ? item : item.left(slash);
        const QString path = slash < 0 ? QString("/StatusNotifierItem") : item.mid(slash);
        const QDBusReply<uint> owner = QDBusConnection::sessionBus().interface()->servicePid(service);
        if (owner.isValid() && static_cast<pid_t>(owner.value()) == pid)
            return BusObject{service, path};
    }
    return std::nullopt;
}

QVariant statusNotifierProperty(const BusObject& item, const char* name)
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(item.service, item.path, "org.freedesktop.DBus.Properties", "Get")
        << "org.kde.StatusNotifierItem" << name);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().at(0).value<QDBusVariant>().variant()
                                                      : QVariant();
}

// The sizes of the pictures the program's status notifier item hands the panel.
std::vector<QSize> statusNotifierPixmaps(pid_t pid)
{
    std::vector<QSize> sizes;
    if (const auto item = statusNotifierItem(pid)) {
        const QVariant reply = statusNotifierProperty(*item, "IconPixmap");
        if (!reply.isValid())
            return {};
        const QDBusArgument pixmaps = reply.value<QDBusArgument>();
        pixmaps.beginArray();
        while (!pixmaps.atEnd()) {
            int width = 0;
            int height = 0;
            QByteArray bytes;
            pixmaps.beginStructure();
            pixmaps >> width >> height >> bytes;
            pixmaps.endStructure();
            sizes.emplace_back(width, height);
        }
        pixmaps.endArray();
    }
    return sizes;
}

// The size of our window that a tray has taken in: of class "Kestrelix", carrying the XEmbed
// client's property.
std::optional<QSize> embeddedIconWindow(Display* display, Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return std::nullopt;
    const Atom xembedInfo = XInternAtom(display, "_XEMBED_INFO", False);
    std::optional<QSize> found;
    for (unsigned i = 0; i < count && !found; ++i) {
        XClassHint hint{};
        if (XGetClassHint(display, children[i], &hint)) {
            int properties = 0;
            Atom* names = XListProperties(display, children[i], &properties);
            const bool embedded = names && std::find(names, names + properties, xembedInfo) != names + properties;
            XFree(names);
            if (embedded && std::string(hint.res_class ? hint.res_class : "") == "Kestrelix") {
                XWindowAttributes attributes{};
                XGetWindowAttributes(display, children[i], &attributes);
                found = QSize(attributes.width, attributes.height);
            }
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        if (!found)
            found = embeddedIconWindow(display, children[i]);
    }
    XFree(children);
    return found;
}

std::optional<QSize> embeddedIconWindow()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    const auto found = embeddedIconWindow(display, DefaultRootWindow(display));
    XCloseDisplay(display);
    return found;
}

// One item of a D-Bus menu as a tray host reads it.
struct BusMenuRow {
    int id = 0;
    QString label;  // "---" for a separator
    bool enabled = true;
    int toggleState = -1;  // -1 for an item that is no check or radio item
};

void readMenuLayout(const QDBusArgument& layout, std::vector<BusMenuRow>& rows, bool root)
{
    int id = 0;
    QVariantMap properties;
    layout.beginStructure();
    layout >> id >> properties;
    if (!root) {
        const bool separator = properties.value("type").toString() == "separator";
        rows.push_back({id, separator ? QString("---") : properties.value("label").toString(),
                        properties.value("enabled", true).toBool(), properties.value("toggle-state", -1).toInt()});
    }
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        readMenuLayout(child.variant().value<QDBusArgument>(), rows, false);
    }
    layout.endArray();
    layout.endStructure();
}

// The rows of the menu an item exports, as a host asks for them when it opens it.
std::vector<BusMenuRow> busMenuRows(const BusObject& menu)
{
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(menu.service, menu.path, "com.canonical.dbusmenu", "AboutToShow") << 0);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(menu.service, menu.path, "com.canonical.dbusmenu", "GetLayout")
        << 0 << -1 << QStringList());
    std::vector<BusMenuRow> rows;
    if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 2)
        readMenuLayout(reply.arguments().at(1).value<QDBusArgument>(), rows, true);
    return rows;
}

void clickBusMenuRow(const BusObject& menu, int id)
{
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(menu.service, menu.path, "com.canonical.dbusmenu", "Event")
        << id << QString("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u);
}

// Where the tray put our icon: the slot (the tray's window that holds ours) on the screen, and
// our window inside it.
struct IconSlot {
    QRect slot;
    QRect window;
};

std::optional<IconSlot> embeddedIconSlot(Display* display, Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return std::nullopt;
    const Atom xembedInfo = XInternAtom(display, "_XEMBED_INFO", False);
    std::optional<IconSlot> found;
    for (unsigned i = 0; i < count && !found; ++i) {
        XClassHint hint{};
        if (XGetClassHint(display, children[i], &hint)) {
            int properties = 0;
            Atom* names = XListProperties(display, children[i], &properties);
            const bool embedded = names && std::find(names, names + properties, xembedInfo) != names + properties;
            XFree(names);
            if (embedded && std::string(hint.res_class ? hint.res_class : "") == "Kestrelix") {
                XWindowAttributes icon{};
                XWindowAttributes slot{};
                int x = 0;
                int y = 0;
                Window child = 0;
                XGetWindowAttributes(display, children[i], &icon);
                XGetWindowAttributes(display, window, &slot);
                XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
                if (icon.map_state == IsViewable)
                    found = IconSlot{QRect(x, y, slot.width, slot.height),
                                     QRect(icon.x, icon.y, icon.width, icon.height)};
            }
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        if (!found)
            found = embeddedIconSlot(display, children[i]);
    }
    XFree(children);
    return found;
}

std::optional<IconSlot> embeddedIconSlot()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    const auto found = embeddedIconSlot(display, DefaultRootWindow(display));
    XCloseDisplay(display);
    return found;
}

// The menus up on the screen: viewable windows the window manager leaves alone, at least
// minimumHeight high.
std::vector<QRect> popupsShown(int minimumHeight)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<QRect> found;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) && attributes.override_redirect &&
                attributes.map_state == IsViewable && attributes.height >= minimumHeight)
                found.emplace_back(attributes.x, attributes.y, attributes.width, attributes.height);
        }
        XFree(children);
    }
    XCloseDisplay(display);
    return found;
}

// Whether area shows something drawn: not one colour all over.
bool drawn(const QRect& area)
{
    const QImage image = grab(area);
    const QRgb first = image.pixel(0, 0);
    int other = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            other += image.pixel(x, y) != first;
    return other > image.width() * image.height() / 40;
}

// Whether a viewable window titled title is on the screen, at any depth (the window manager
// frames top-level windows).
bool windowShown(Display* display, Window window, const std::string& title)
{
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long length = 0;
    unsigned long remaining = 0;
    unsigned char* name = nullptr;
    XWindowAttributes attributes{};
    bool shown = XGetWindowProperty(display, window, netName, 0, 256, False, utf8, &type, &format, &length, &remaining,
                                    &name) == Success &&
                 name && std::string(reinterpret_cast<const char*>(name), length) == title &&
                 XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
    XFree(name);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!shown && XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !shown; ++i)
            shown = windowShown(display, children[i], title);
        XFree(children);
    }
    return shown;
}

bool windowShown(const std::string& title)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const bool shown = windowShown(display, DefaultRootWindow(display), title);
    XCloseDisplay(display);
    return shown;
}

// A real click of button at point, or a key, through the server as a user's.
void clickAt(const QPoint& point, unsigned button)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XTestFakeMotionEvent(display, -1, point.x(), point.y(), CurrentTime);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
}

void pressKey(KeySym symbol)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    const KeyCode code = XKeysymToKeycode(display, symbol);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
}

std::string firstExisting(const std::vector<std::string>& paths)
{
    for (const auto& path : paths)
        if (std::filesystem::exists(path))
            return path;
    return {};
}

// What changed in the strip when the icon came: the icon's pixels and their bounding box. A
// column changed from top to bottom is the panel's own (xfce's tray draws a rim once it has held
// an item): an icon leaves the panel's padding above and below it.
struct IconPixels {
    std::vector<QColor> colours;
    QRect box;
};

IconPixels iconPixels(const QImage& before, const QImage& after)
{
    const auto changed = [&](int x, int y) {
        const QColor was(before.pixel(x, y));
        const QColor is(after.pixel(x, y));
        return std::max({std::abs(was.red() - is.red()), std::abs(was.green() - is.green()),
                         std::abs(was.blue() - is.blue())}) > 8;
    };
    IconPixels icon;
    for (int x = 0; x < after.width(); ++x) {
        std::vector<int> rows;
        for (int y = 0; y < after.height(); ++y)
            if (changed(x, y))
                rows.push_back(y);
        if (static_cast<int>(rows.size()) == after.height())
            continue;
        for (const int y : rows) {
            icon.colours.emplace_back(after.pixel(x, y));
            icon.box |= QRect(x, y, 1, 1);
        }
    }
    return icon;
}

class TrayFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        std::filesystem::create_directories(m_home.path() / "config/kestrelix");
        std::ofstream(m_home.path() / "config/kestrelix/defaults.json") << R"({"kestrelix.seenWalkthrough": true})";
    }
    void TearDown() override
    {
        // The last started first: the program, then the panel, then its settings service.
        for (auto it = m_started.rbegin(); it != m_started.rend(); ++it)
            DesktopSession::shared().stop(*it);
        // The next program must not find this panel's names on the bus: with a status notifier
        // watcher there, Qt would not offer an XEmbed tray its icon.
        EXPECT_TRUE(DesktopSession::waitFor(
            [] { return !busNameOwned("org.kde.StatusNotifierWatcher") && !busNameOwned("org.xfce.Xfconf"); }, 10))
            << "the panel's names stayed on the bus";
    }

    // Starts the panel of the setting and waits until it is drawn in its colour and its tray is
    // there; the strip of screen it covers.
    std::optional<QRect> startPanel(const PanelSetting& setting)
    {
        const QColor c = setting.background;
        if (setting.tray == Tray::statusNotifier)
            return startXfcePanel(c);
        return startTrayer("top", 24, c);
    }

    // trayer along edge, thickness pixels across and 200 long, from the top or left end, in
    // colour c; the strip it covers.
    std::optional<QRect> startTrayer(const std::string& edge, int thickness, const QColor& c)
    {
        constexpr int length = 200;
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect strip = edge == "top"      ? QRect(0, 0, length, thickness)
                            : edge == "bottom" ? QRect(0, screen.height() - thickness, length, thickness)
                            : edge == "left"   ? QRect(0, 0, thickness, length)
                                               : QRect(screen.width() - thickness, 0, thickness, length);
        char tint[16];
        std::snprintf(tint, sizeof tint, "0x%02x%02x%02x", c.red(), c.green(), c.blue());
        m_started.push_back(DesktopSession::shared().start({"trayer",
                                                            "--edge",
                                                            edge,
                                                            "--align",
                                                            "left",
                                                            "--widthtype",
                                                            "pixel",
                                                            "--width",
                                                            std::to_string(length),
                                                            "--heighttype",
                                                            "pixel",
                                                            "--height",
                                                            std::to_string(thickness),
                                                            "--tint",
                                                            tint,
                                                            "--transparent",
                                                            "true",
                                                            "--alpha",
                                                            "0",
                                                            "--SetDockType",
                                                            "true"}));
        if (!waitForTray(strip, c))
            return std::nullopt;
        return strip;
    }

    std::optional<QRect> startXfcePanel(const QColor& c)
    {
        const std::string xfconfd = firstExisting({"/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd",
                                                   "/usr/lib/aarch64-linux-gnu/xfce4/xfconf/xfconfd",
                                                   "/usr/lib/xfce4/xfconf/xfconfd", "/usr/libexec/xfconfd"});
        if (xfconfd.empty()) {
            ADD_FAILURE() << "xfconfd not found: is xfce4-panel installed (scripts/bootstrap)?";
            return std::nullopt;
        }
        // One panel along the top, its status tray the only plugin, in the colour of the setting.
        const auto folder = m_home / "xfce/xfce4/xfconf/xfce-perchannel-xml";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "xfce4-panel.xml") << R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="background-style" type="uint" value="1"/>
      <property name="background-rgba" type="array">
        <value type="double" value=")" << c.redF() << R"("/>
        <value type="double" value=")" << c.greenF()
                                                  << R"("/>
        <value type="double" value=")" << c.blueF()
                                                  << R"("/>
        <value type="double" value="1"/>
      </property>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
)";
        // The settings service is started here, with the folder, before the panel asks for it:
        // one started by the bus would read the user's own settings.
        const std::vector<std::string> environment{"XDG_CONFIG_HOME=" + (m_home / "xfce").string()};
        m_started.push_back(DesktopSession::shared().start({xfconfd}, environment));
        if (!DesktopSession::waitFor([] { return busNameOwned("org.xfce.Xfconf"); }, 10)) {
            ADD_FAILURE() << "xfconfd did not come on the bus";
            return std::nullopt;
        }
        m_started.push_back(DesktopSession::shared().start({"xfce4-panel"}, environment));
        const QRect strip(0, 0, QGuiApplication::primaryScreen()->geometry().width(), 26);
        if (!DesktopSession::waitFor([] { return busNameOwned("org.kde.StatusNotifierWatcher"); }, 15)) {
            ADD_FAILURE() << "the panel's status tray did not come on the bus";
            return std::nullopt;
        }
        if (!waitForTray(strip, c))
            return std::nullopt;
        return strip;
    }

    bool waitForTray(const QRect& strip, const QColor& colour)
    {
        const bool drawn = DesktopSession::waitFor([&] { return near(median(grab(strip)), colour); }, 15);
        if (!drawn)
            ADD_FAILURE() << "the panel was not drawn in " << colour.name().toStdString() << "; the strip's colour is "
                          << median(grab(strip)).name().toStdString() << " (is the panel installed? scripts/bootstrap)";
        return drawn;
    }

    pid_t startKestrelix(int scale)
    {
        // Its settings, log and history under the test's home.
        std::vector<std::string> environment{"XDG_CONFIG_HOME=" + (m_home / "config").string(),
                                             "XDG_STATE_HOME=" + (m_home / "state").string(),
                                             "XDG_DATA_HOME=" + (m_home / "data").string()};
        environment.push_back("QT_SCALE_FACTOR=" + std::to_string(scale));
        const pid_t pid = DesktopSession::shared().start({KX_EXECUTABLE}, environment);
        m_started.push_back(pid);
        return pid;
    }

    void stopKestrelix(pid_t pid)
    {
        DesktopSession::shared().stop(pid);
        std::erase(m_started, pid);
    }

    // Waits for the icon to appear in strip and to stay the same for longer than the program's
    // 2 s refresh; the strip then.
    static std::optional<QImage> settledIcon(const QRect& strip, const QImage& empty)
    {
        QImage last;
        QElapsedTimer unchanged;
        const bool settled = DesktopSession::waitFor(
            [&] {
                const QImage now = grab(strip);
                if (now != last || iconPixels(empty, now).colours.empty()) {
                    last = now;
                    unchanged.start();
                    return false;
                }
                return unchanged.elapsed() > 2500;
            },
            20);
        return settled ? std::optional(last) : std::nullopt;
    }

    static void keepPicture(const QImage& strip, const QRect& icon, const std::string& name)
    {
        const char* folder = std::getenv("KX_UI_SHOTS");
        if (!folder)
            return;
        std::filesystem::create_directories(folder);
        const QRect around = icon.adjusted(-40, 0, 40, 0).intersected(strip.rect()) | QRect(0, 0, 1, strip.height());
        strip.copy(around).save(QString::fromStdString((std::filesystem::path(folder) / (name + ".png")).string()));
    }

    // Keeps a picture of area of the screen, factor times as large, when KX_UI_SHOTS names a folder.
    static void keepScreen(const QRect& area, const std::string& name, int factor = 4)
    {
        const char* folder = std::getenv("KX_UI_SHOTS");
        if (!folder)
            return;
        std::filesystem::create_directories(folder);
        grab(area)
            .scaled(area.size() * factor)
            .save(QString::fromStdString((std::filesystem::path(folder) / (name + ".png")).string()));
    }

    std::string log() const
    {
        std::ifstream file(m_home / "state/kestrelix/kestrelix.log");
        return {std::istreambuf_iterator<char>(file), {}};
    }

    TempFolder m_home{"kx-tray"};
    std::vector<pid_t> m_started;
};

class TrayOnPanelTest : public TrayFixture, public ::testing::WithParamInterface<PanelSetting> {};

// At scale 1 and 2 the icon appears on the panel, at least a given share of its pixels stand out
// from the panel at 3:1 or more, and its shape is square: the window a tray embeds, or every
// picture handed to a tray that draws the icon. Where the program can read the panel (XEmbed),
// the glyph's ink itself must stand out, so nearly all its pixels; where it cannot, the outline
// carries it on a light panel, so a quarter.
TEST_P(TrayOnPanelTest, IconStandsOutAndIsSquare)
{
    const PanelSetting setting = GetParam();
    const auto strip = startPanel(setting);
    ASSERT_TRUE(strip);
    const QImage empty = grab(*strip);
    const QColor panel = median(empty);

    for (const int scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const pid_t app = startKestrelix(scale);
        ASSERT_GT(app, 0);
        const auto shown = settledIcon(*strip, empty);
        ASSERT_TRUE(shown) << "no icon on the panel";
        const IconPixels icon = iconPixels(empty, *shown);
        keepPicture(*shown, icon.box, std::string("tray-") + setting.name + "-x" + std::to_string(scale));

        const auto standing =
            std::ranges::count_if(icon.colours, [&](const QColor& c) { return contrast(c, panel) >= 3.0; });
        const double share = static_cast<double>(standing) / static_cast<double>(icon.colours.size());
        const double needed = setting.tray == Tray::xembed ? 0.8 : 0.25;
        EXPECT_GE(share, needed) << standing << " of " << icon.colours.size() << " pixels stand out";
        EXPECT_GE(standing, 40) << "too few pixels to make out a keyboard";
        EXPECT_LE(icon.box.height(), strip->height());

        if (setting.tray == Tray::xembed) {
            const auto window = embeddedIconWindow();
            ASSERT_TRUE(window) << "no window of ours in the tray";
            EXPECT_EQ(window->width(), window->height());
            EXPECT_LE(window->height(), strip->height());
        } else {
            const std::vector<QSize> pixmaps = statusNotifierPixmaps(app);
            ASSERT_FALSE(pixmaps.empty()) << "no pictures on the status notifier item";
            for (const QSize& size : pixmaps)
                EXPECT_EQ(size.width(), size.height());
        }
        stopKestrelix(app);
        ASSERT_TRUE(DesktopSession::waitFor([&] { return iconPixels(empty, grab(*strip)).colours.empty(); }, 10))
            << "the icon stayed after the program ended";
    }
}

INSTANTIATE_TEST_SUITE_P(Panels, TrayOnPanelTest,
                         ::testing::Values(PanelSetting{"xfce-dark", Tray::statusNotifier, QColor(0x1F, 0x1F, 0x24)},
                                           PanelSetting{"xfce-light", Tray::statusNotifier, QColor(0xEB, 0xEB, 0xED)},
                                           PanelSetting{"trayer-dark", Tray::xembed, QColor(0x1F, 0x1F, 0x24)},
                                           PanelSetting{"trayer-light", Tray::xembed, QColor(0xEB, 0xEB, 0xED)}),
                         [](const ::testing::TestParamInfo<PanelSetting>& info) {
                             std::string name = info.param.name;
                             std::ranges::replace(name, '-', '_');
                             return name;
                         });

struct SlotSetting {
    const char* edge;
    int thickness;
    int scale;
};

void PrintTo(const SlotSetting& setting, std::ostream* out)
{
    *out << setting.edge << '-' << setting.thickness << "px-x" << setting.scale;
}

class TrayerSlotTest : public TrayFixture, public ::testing::WithParamInterface<SlotSetting> {};

// On trayer at any edge and thickness, at scale 1 and 2, our window stays where the tray put it in
// the slot it gave, and the icon shows there, centred and whole, whatever the slot's shape.
TEST_P(TrayerSlotTest, IconShowsCentredAndWholeInItsSlot)
{
    const SlotSetting setting = GetParam();
    const QColor panel(0x1F, 0x1F, 0x24);
    const auto strip = startTrayer(setting.edge, setting.thickness, panel);
    ASSERT_TRUE(strip);
    const QImage empty = grab(*strip);
    ASSERT_GT(startKestrelix(setting.scale), 0);
    ASSERT_TRUE(DesktopSession::waitFor([] { return embeddedIconSlot().has_value(); }, 15))
        << "no window of ours in the tray";
    const auto shown = settledIcon(*strip, empty);
    const auto slot = embeddedIconSlot();
    ASSERT_TRUE(slot);
    std::ostringstream name;
    PrintTo(setting, &name);
    keepScreen(slot->slot.adjusted(-8, -8, 8, 8).intersected(*strip), "trayer-" + name.str());
    EXPECT_EQ(slot->window, QRect(QPoint(0, 0), slot->slot.size())) << "our window is not where the tray put it";
    ASSERT_TRUE(shown) << "no icon on the panel";

    const IconPixels icon = iconPixels(empty, *shown);
    const QRect inStrip = slot->slot.translated(-strip->topLeft());
    EXPECT_TRUE(inStrip.contains(icon.box)) << "icon drawn outside its slot";
    const QPointF offset = QRectF(icon.box).center() - QRectF(inStrip).center();
    EXPECT_LE(std::abs(offset.x()), 1.5) << "not centred across";
    EXPECT_LE(std::abs(offset.y()), 1.5) << "not centred up and down";
    const int smallerSide = std::min(inStrip.width(), inStrip.height());
    EXPECT_GE(std::max(icon.box.width(), icon.box.height()), smallerSide * 6 / 10) << "too small to be the whole glyph";
    const auto standing =
        std::ranges::count_if(icon.colours, [&](const QColor& c) { return contrast(c, panel) >= 3.0; });
    EXPECT_GE(standing, 20) << "too few pixels to make out a keyboard";
}

INSTANTIATE_TEST_SUITE_P(Trayer, TrayerSlotTest,
                         ::testing::Values(SlotSetting{"bottom", 26, 1}, SlotSetting{"bottom", 26, 2},
                                           SlotSetting{"right", 26, 1}, SlotSetting{"right", 26, 2},
                                           SlotSetting{"bottom", 48, 1}, SlotSetting{"top", 16, 2},
                                           SlotSetting{"left", 32, 2}),
                         [](const ::testing::TestParamInfo<SlotSetting>& info) {
                             return std::string(info.param.edge) + "_" + std::to_string(info.param.thickness) + "px_x" +
                                    std::to_string(info.param.scale);
                         });

using TrayReachTest = TrayFixture;

// On xfce's status tray the item offers its menu over D-Bus, so a right-click shows ours, not the
// panel's: the rows and actions in their order, texts and states; a choice made there reaches the
// program, and the menu follows it.
TEST_F(TrayReachTest, StatusNotifierTrayGetsOurMenuForARightClick)
{
    const auto strip = startXfcePanel(QColor(0x1F, 0x1F, 0x24));
    ASSERT_TRUE(strip);
    const QImage empty = grab(*strip);
    const pid_t app = startKestrelix(1);
    ASSERT_GT(app, 0);
    const auto shown = settledIcon(*strip, empty);
    ASSERT_TRUE(shown) << "no icon on the panel";
    const auto item = statusNotifierItem(app);
    ASSERT_TRUE(item);
    const QString path = statusNotifierProperty(*item, "Menu").value<QDBusObjectPath>().path();
    ASSERT_NE(path, "/NO_DBUSMENU") << "no menu offered to the panel";
    const BusObject menu{item->service, path};

    std::vector<BusMenuRow> rows;
    const auto rowNamed = [&](const QString& label) {
        return std::ranges::find(rows, label, &BusMenuRow::label);
    };
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            rows = busMenuRows(menu);
            return rowNamed("Quit Kestrelix") != rows.end() && rowNamed("Automatic") != rows.end();
        },
        20))
        << rows.size() << " rows";
    std::vector<QString> labels;
    for (const auto& row : rows)
        labels.push_back(row.label);
    const auto languages = std::ranges::find(labels, "LANGUAGES");
    ASSERT_NE(languages, labels.end());
    const std::vector<QString> head(labels.begin(), languages + 1);
    EXPECT_EQ(head, (std::vector<QString>{"CORRECTION", "Automatic", "Ask", "Manual", "---", "Swap Selection",
                                          "LANGUAGES"}));
    const auto layoutsEnd = std::find(languages, labels.end(), "---");
    EXPECT_GE(layoutsEnd - languages, 2) << "no layout";
    const std::vector<QString> tail(layoutsEnd, std::ranges::find(labels, "Quit Kestrelix") + 1);
    EXPECT_EQ(tail, (std::vector<QString>{"---", "How It Works", "Check for Updates…", "Report a Miss…", "Settings",
                                          "Quit Kestrelix"}));
    EXPECT_FALSE(rowNamed("CORRECTION")->enabled);
    EXPECT_TRUE(rowNamed("Swap Selection")->enabled);
    EXPECT_EQ(rowNamed("Automatic")->toggleState, 1);
    EXPECT_EQ(rowNamed("Manual")->toggleState, 0);

    clickBusMenuRow(menu, rowNamed("Manual")->id);
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            rows = busMenuRows(menu);
            return rowNamed("Manual") != rows.end() && rowNamed("Manual")->toggleState == 1 &&
                   rowNamed("Automatic")->toggleState == 0;
        },
        10))
        << "the menu did not follow the new mode";

    // A real right-click on the icon brings a menu of all those rows up.
    const IconPixels icon = iconPixels(empty, *shown);
    const std::vector<QRect> before = popupsShown(12 * 18);
    clickAt(strip->topLeft() + icon.box.center(), 3);
    std::optional<QRect> popup;
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            for (const QRect& window : popupsShown(12 * 18))
                if (std::ranges::find(before, window) == before.end() && drawn(window))
                    popup = window;
            return popup.has_value();
        },
        10))
        << "no menu of our rows came up";
    if (popup)
        keepScreen(popup->adjusted(-4, -4, 4, 4).intersected(QGuiApplication::primaryScreen()->geometry()),
                   "xfce-right-click-menu", 1);
    pressKey(XK_Escape);
}

// With no tray on the display nothing of the program would be on the screen: it says so in its
// log and shows the settings window, from which the mode and the rest are reached. The window
// comes by itself, so the field the user is typing in keeps the keys.
TEST_F(TrayReachTest, WithoutATrayTheSettingsWindowComesUp)
{
    ASSERT_TRUE(DesktopSession::waitFor([] { return !busNameOwned("org.kde.StatusNotifierWatcher"); }, 10));
    QLineEdit field;
    field.setWindowTitle(QStringLiteral("typing here"));
    field.resize(300, 40);
    const auto typingThere = [&] {
        field.activateWindow();
        return QApplication::activeWindow() == &field && field.hasFocus();
    };
    // A window mapped while the window manager is still starting is never framed; mapped again, it is.
    for (int attempt = 0; attempt < 5 && !typingThere(); ++attempt) {
        field.hide();
        field.show();
        DesktopSession::waitFor(typingThere, 2);
    }
    ASSERT_TRUE(typingThere()) << "the field never had the focus";
    ASSERT_GT(startKestrelix(1), 0);
    EXPECT_TRUE(DesktopSession::waitFor([] { return windowShown("Kestrelix — Beta"); }, 20))
        << "no settings window; the log:\n"
        << log();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    DesktopSession::waitFor([&] { return drawn(screen); }, 5);
    EXPECT_NE(log().find("no system tray found"), std::string::npos) << log();
    keepScreen(QGuiApplication::primaryScreen()->geometry(), "no-tray-screen", 1);

    EXPECT_EQ(QApplication::activeWindow(), &field) << "the settings window took the focus";
    for (KeySym key : {XK_q, XK_w, XK_e})
        pressKey(key);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return field.text() == "qwe"; }, 5))
        << "the field got \"" << field.text().toStdString() << "\"";
}

}  // namespace
}  // namespace kx::test
