#include "ui/TrayStatusItem.h"

#include "ui/AppIconCache.h"
#include "ui/Assets.h"
#include "ui/ModeSelectorRow.h"
#include "ui/SecureInputBanner.h"
#include "ui/ToggleMenuRow.h"
#include "ui/TrayGlyph.h"

#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWidgetAction>

#include <algorithm>
#include <utility>

namespace kx {

namespace {

QString menuText(const std::string& text)
{
    // A name with "&" in it must not turn into a keyboard accelerator.
    return QString::fromStdString(text).replace('&', "&&");
}

QString itemText(const MenuItem& item)
{
    QString text = menuText(item.title);
    // Text after a tab is drawn right-aligned, where menus show a shortcut: the badge or key.
    const std::string& right = item.keyEquivalent.empty() ? item.badge : item.keyEquivalent;
    if (!right.empty())
        text += '\t' + QString::fromStdString(right);
    return text;
}

}  // namespace

TrayStatusItem::TrayStatusItem(QObject* parent) : QObject(parent)
{
    connect(&m_menu, &QMenu::aboutToShow, this, [this] {
        if (onMenuNeedsUpdate)
            onMenuNeedsUpdate();
    });
    // Queued: the item just clicked is triggered after the menu hides, and must still exist.
    connect(
        &m_menu, &QMenu::aboutToHide, this,
        [this] {
            if (m_pending)
                rebuild(*std::exchange(m_pending, std::nullopt));
        },
        Qt::QueuedConnection);
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // An embedded icon's right-click is caught before Qt pops the plain menu up (eventFilter);
        // where it was not, that menu is up already and one menu is enough.
        if (reason == QSystemTrayIcon::Trigger || (reason == QSystemTrayIcon::Context && !plainMenu().isVisible()))
            m_menu.popup(QCursor::pos());
    });
    // A tray that draws the menu itself is handed the plain one (Qt exports it over D-Bus) and
    // asks for it to be current before it shows it.
    m_plain.onCommand = [this](const MenuCommand& command) { perform(command); };
    connect(&plainMenu(), &QMenu::aboutToShow, this, [this] {
        if (onMenuNeedsUpdate)
            onMenuNeedsUpdate();
    });
    m_tray.setContextMenu(&plainMenu());
    m_trayWait.setSingleShot(true);
    connect(&m_trayWait, &QTimer::timeout, this, [this] {
        if (!QSystemTrayIcon::isSystemTrayAvailable() && onNoTray)
            onNoTray();
    });
    m_trayWait.start(trayWaitMs);
}

TrayStatusItem::~TrayStatusItem() = default;

void TrayStatusItem::showGlyph(const StatusGlyph& glyph)
{
    // The controller shows the glyph at every refresh, mostly unchanged; only a change is drawn. The
    // panel's colour is read again when the tray moves the icon (eventFilter).
    if (!m_drawn || glyph != m_glyph) {
        m_glyph = glyph;
        refreshIcon();
    }
    // A tray that draws the icon itself is told of every new tooltip over D-Bus.
    if (const QString tooltip = QString::fromStdString(glyph.tooltip); m_tray.toolTip() != tooltip)
        m_tray.setToolTip(tooltip);
    if (!m_tray.isVisible())
        m_tray.show();
    watchEmbeddedWindow();
}

void TrayStatusItem::showText(const std::string& text)
{
    const QString shown = QString::fromStdString(text);
    m_tray.setToolTip(shown);
    m_flash.flash(shown, m_tray.geometry());
}

void TrayStatusItem::refreshIcon()
{
    const std::optional<QColor> background = panelBackground();
    const std::optional<QRgb> panel = background ? std::optional(background->rgb()) : std::nullopt;
    if (m_drawn && m_drawn->first == m_glyph && m_drawn->second == panel)
        return;
    const QIcon icon = TrayGlyph::icon(Assets::image("kestrelix_mono"), m_glyph, background);
    m_tray.setIcon(icon.isNull() ? QIcon::fromTheme("input-keyboard") : icon);
    m_drawn.emplace(m_glyph, panel);
}

std::optional<QColor> TrayStatusItem::panelBackground() const
{
    const QRect slot = m_tray.geometry();
    QScreen* screen = slot.isEmpty() ? nullptr : QGuiApplication::screenAt(slot.center());
    if (!screen)
        return std::nullopt;
    return TrayGlyph::background(screen->grabWindow(0, slot.x(), slot.y(), slot.width(), slot.height()).toImage());
}

void TrayStatusItem::watchEmbeddedWindow()
{
    if (m_embedded)
        return;
    // Qt makes no public handle to the window it embeds in an XEmbed tray; it names it. A tray
    // drawn over D-Bus has no such window, and nothing is watched.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("QSystemTrayIconSys")) {
            m_embedded = window;
            window->installEventFilter(this);
            // The tray may have placed it already: read the panel under it now.
            QTimer::singleShot(0, this, &TrayStatusItem::refreshIcon);
            return;
        }
    }
}

bool TrayStatusItem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_embedded)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // Our own menu, with its rows, rather than the plain one Qt would pop up.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            m_menu.popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return true;
        }
        break;
    case QEvent::Resize:
        // Qt asks for at least 22 x 22 units, which at a scale above 1 is more than a small
        // panel is high; a tray that honours the request gives a slot wider than high. Asking
        // for less lets it make the slot square. Only the tray places and sizes the window: a
        // resize of ours would move it to its screen position inside the slot, out of sight.
        if (const QSize size = m_embedded->size(); size.width() != size.height()) {
            const int side = std::min(size.width(), size.height());
            if (side < m_embedded->minimumWidth() || side < m_embedded->minimumHeight())
                m_embedded->setMinimumSize(side, side);
        }
        [[fallthrough]];
    case QEvent::Move:
    case QEvent::Show:
        // After the event, so the slot read is where the tray has put the icon.
        QTimer::singleShot(0, this, &TrayStatusItem::refreshIcon);
        break;
    default:
        break;
    }
    return false;
}

bool TrayStatusItem::menuShown() const
{
    return m_menu.isVisible();
}

void TrayStatusItem::setMenu(const StatusMenu& menu)
{
    m_plain.show(menu);
    if (!m_menu.isVisible()) {
        rebuild(menu);
        return;
    }
    if (sameShape(menu)) {
        updateInPlace(menu);
        m_pending.reset();
    } else {
        m_pending = menu;
    }
}

void TrayStatusItem::rebuild(const StatusMenu& menu)
{
    m_menu.clear();
    m_actions.clear();
    for (const auto& item : menu.items)
        m_actions.push_back(addItem(item));
    m_shown = menu;
}

bool TrayStatusItem::sameShape(const StatusMenu& menu) const
{
    return std::ranges::equal(menu.items, m_shown.items, [](const MenuItem& a, const MenuItem& b) {
        return a.kind == b.kind && a.action == b.action && a.argument == b.argument && a.symbol == b.symbol &&
               a.holder == b.holder && a.stuck == b.stuck && a.iconAppID == b.iconAppID;
    });
}

void TrayStatusItem::updateInPlace(const StatusMenu& menu)
{
    for (std::size_t i = 0; i < menu.items.size(); ++i) {
        const MenuItem& item = menu.items[i];
        // The rows show what the user did in them; the plain items follow the state.
        if (item.kind != MenuItem::Kind::item)
            continue;
        QAction* action = m_actions[i];
        action->setText(itemText(item));
        action->setEnabled(item.enabled);
        if (action->isCheckable())
            action->setChecked(item.checked);
    }
    m_shown = menu;
}

QAction* TrayStatusItem::addItem(const MenuItem& item)
{
    const auto addRow = [this](QWidget* row) {
        auto* action = new QWidgetAction(&m_menu);
        action->setDefaultWidget(row);
        m_menu.addAction(action);
        return action;
    };
    switch (item.kind) {
    case MenuItem::Kind::separator:
        return m_menu.addSeparator();
    case MenuItem::Kind::header:
        return m_menu.addSection(menuText(item.title));
    case MenuItem::Kind::secureInputBanner:
        return addRow(new SecureInputBanner(item.holder, item.stuck));
    case MenuItem::Kind::modeSelector: {
        auto* row = new ModeSelectorRow(item.mode);
        row->onChange = [this, action = item.action](CorrectionMode mode) {
            perform({.action = action, .mode = mode});
        };
        return addRow(row);
    }
    case MenuItem::Kind::toggleRow: {
        auto* row = new ToggleMenuRow(QString::fromStdString(item.title), std::nullopt,
                                      AppIconCache::icon(item.iconAppID), item.isOn, item.showDisclosure);
        row->onToggle = [this, action = item.action, id = item.argument](bool on) {
            perform({.action = action, .argument = id, .on = on});
        };
        row->onDisclosure = [this] { perform({.action = MenuAction::manageApps}); };
        return addRow(row);
    }
    case MenuItem::Kind::item: {
        QAction* action = m_menu.addAction(itemText(item));
        action->setEnabled(item.enabled);
        if (!item.symbol.empty())
            action->setIcon(QIcon::fromTheme(QString::fromStdString(item.symbol)));
        if (item.action == MenuAction::selectLayout) {
            action->setCheckable(true);
            action->setChecked(item.checked);
            // One layout of many: the items join one exclusive group, which shows them as radio
            // items. The group lives with the first of them, so each build of the menu has its own.
            const QList<QAction*> before = m_menu.actions();
            QAction* previous = before.size() > 1 ? before[before.size() - 2] : nullptr;
            QActionGroup* group = previous ? previous->actionGroup() : nullptr;
            (group ? group : new QActionGroup(action))->addAction(action);
        }
        if (item.action != MenuAction::none)
            connect(
                action, &QAction::triggered, this,
                [this, command = MenuCommand{.action = item.action, .argument = item.argument}] { perform(command); });
        return action;
    }
    }
    return nullptr;
}

void TrayStatusItem::perform(const MenuCommand& command)
{
    if (command.action == MenuAction::quit) {
        QCoreApplication::quit();
        return;
    }
    if (onCommand)
        onCommand(command);
}

}  // namespace kx
