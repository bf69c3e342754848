#include "ui/TrayStatusItem.h"

#include "ui/AppIconCache.h"
#include "ui/Assets.h"
#include "ui/ModeSelectorRow.h"
#include "ui/SecureInputBanner.h"
#include "ui/SystemColors.h"
#include "ui/ToggleMenuRow.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QActionGroup>
#include <QWidgetAction>

#include <algorithm>
#include <utility>

namespace kx {

namespace {

QColor tintColor(GlyphTint tint, const QColor& textColor)
{
    switch (tint) {
    case GlyphTint::none:
        return textColor;
    case GlyphTint::orange:
        return SystemColors::orange();
    case GlyphTint::tertiaryLabel:
        // Half the text colour: together with the dimming of a disabled glyph it reads as faint
        // on light and dark panels alike.
        return SystemColors::withAlpha(textColor, 0.5);
    }
    return textColor;
}

QColor panelTextColor()
{
    return QGuiApplication::palette().color(QPalette::WindowText);
}

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
    connect(&m_menu, &QMenu::aboutToHide, this, [this] {
        if (m_pending)
            rebuild(*std::exchange(m_pending, std::nullopt));
    }, Qt::QueuedConnection);
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            m_menu.popup(QCursor::pos());
    });
}

TrayStatusItem::~TrayStatusItem() = default;

QImage TrayStatusItem::glyphImage(const QImage& source, const StatusGlyph& glyph, const QColor& textColor)
{
    const QImage probe = Assets::menuGlyph(source, glyph.slashed);
    if (probe.isNull())
        return {};
    const double scale = iconSide / std::max(probe.deviceIndependentSize().width(), probe.deviceIndependentSize().height());
    QImage shape = Assets::menuGlyph(source, glyph.slashed, scale);
    shape.setDevicePixelRatio(1);
    {
        QPainter tint(&shape);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(shape.rect(), tintColor(glyph.tint, textColor));
    }
    QImage out(iconSide, iconSide, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setOpacity(glyph.appearsDisabled ? 0.5 : 1.0);
    painter.drawImage(QPoint((iconSide - shape.width()) / 2, (iconSide - shape.height()) / 2), shape);
    return out;
}

QImage TrayStatusItem::textImage(const QString& text, const QColor& textColor)
{
    QImage out(iconSide, iconSide, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = QGuiApplication::font();
    font.setBold(true);
    const QRect box(0, 0, iconSide, iconSide);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    for (int pixels = iconSide / 2; pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        const QRect needed = QFontMetrics(font).boundingRect(box, flags, text);
        if (needed.width() <= iconSide && needed.height() <= iconSide)
            break;
    }
    painter.setFont(font);
    painter.setPen(textColor);
    painter.drawText(box, flags, text);
    return out;
}

void TrayStatusItem::showGlyph(const StatusGlyph& glyph)
{
    const QImage image = glyphImage(Assets::image("kestrelix_mono"), glyph, panelTextColor());
    m_tray.setIcon(image.isNull() ? QIcon::fromTheme("input-keyboard") : QIcon(QPixmap::fromImage(image)));
    m_tray.setToolTip(QString::fromStdString(glyph.tooltip));
    if (!m_tray.isVisible())
        m_tray.show();
}

void TrayStatusItem::showText(const std::string& text)
{
    const QString shown = QString::fromStdString(text);
    m_tray.setIcon(QIcon(QPixmap::fromImage(textImage(shown, panelTextColor()))));
    // The icon is small; the tooltip and the label beside it carry the whole text.
    m_tray.setToolTip(shown);
    if (!m_tray.isVisible())
        m_tray.show();
    m_flash.flash(shown, m_tray.geometry());
}

void TrayStatusItem::setMenu(const StatusMenu& menu)
{
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
            connect(action, &QAction::triggered, this,
                    [this, command = MenuCommand{.action = item.action, .argument = item.argument}] {
                        perform(command);
                    });
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
