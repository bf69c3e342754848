#include "ui/PlainStatusMenu.h"

#include "ui/ModeSelectorRow.h"
#include "ui/SecureInputBanner.h"

#include <QActionGroup>
#include <QKeySequence>

#include <algorithm>

namespace kx {

namespace {

QString plainText(const std::string& text)
{
    // A name with "&" in it must not turn into a keyboard accelerator.
    return QString::fromStdString(text).replace('&', "&&");
}

// A host lays out no right-hand column for a badge: it follows the title.
QString itemText(const MenuItem& item)
{
    QString text = plainText(item.title);
    if (!item.badge.empty())
        text += QString::fromUtf8(" \u2014 ") + QString::fromStdString(item.badge);
    return text;
}

QStringList bannerLines(const MenuItem& item)
{
    return SecureInputBanner(item.holder, item.stuck).text().split('\n', Qt::SkipEmptyParts);
}

// The same items in the same places: only their texts and states may differ.
bool sameShape(const std::vector<MenuItem>& a, const std::vector<MenuItem>& b)
{
    return std::ranges::equal(a, b, [](const MenuItem& x, const MenuItem& y) {
        return x.kind == y.kind && x.action == y.action && x.argument == y.argument && x.symbol == y.symbol &&
               x.keyEquivalent == y.keyEquivalent && x.holder == y.holder && x.stuck == y.stuck;
    });
}

}  // namespace

PlainStatusMenu::PlainStatusMenu(QObject* parent) : QObject(parent) {}

void PlainStatusMenu::show(const StatusMenu& menu)
{
    if (!m_actions.empty() && menu.items == m_shown.items)
        return;
    if (m_actions.empty() || !sameShape(menu.items, m_shown.items)) {
        rebuild(menu);
        return;
    }
    for (std::size_t i = 0; i < menu.items.size(); ++i)
        update(menu.items[i], m_actions[i]);
    m_shown = menu;
}

void PlainStatusMenu::rebuild(const StatusMenu& menu)
{
    m_menu.clear();
    m_actions.clear();
    for (const auto& item : menu.items)
        m_actions.push_back(add(item));
    m_shown = menu;
}

std::vector<QAction*> PlainStatusMenu::add(const MenuItem& item)
{
    const auto line = [this](const QString& text) {
        QAction* action = m_menu.addAction(text);
        action->setEnabled(false);
        return action;
    };
    switch (item.kind) {
    case MenuItem::Kind::separator:
        return {m_menu.addSeparator()};
    case MenuItem::Kind::header:
        return {line(plainText(item.title))};
    case MenuItem::Kind::secureInputBanner: {
        std::vector<QAction*> lines;
        for (const QString& text : bannerLines(item))
            lines.push_back(line(text));
        return lines;
    }
    case MenuItem::Kind::modeSelector: {
        std::vector<QAction*> modes;
        auto* group = new QActionGroup(&m_menu);
        for (const CorrectionMode mode : ModeSelectorRow::modes) {
            QAction* action = m_menu.addAction(ModeSelectorRow::title(mode));
            action->setCheckable(true);
            group->addAction(action);
            // As the row: a mode is told only when it is a new one.
            connect(action, &QAction::triggered, this, [this, mode, command = item.action, index = m_actions.size()] {
                if (m_shown.items.at(index).mode != mode)
                    send({.action = command, .mode = mode});
            });
            modes.push_back(action);
        }
        update(item, modes);
        return modes;
    }
    case MenuItem::Kind::toggleRow: {
        QAction* action = m_menu.addAction(plainText(item.title));
        action->setCheckable(true);
        action->setChecked(item.isOn);
        connect(action, &QAction::triggered, this, [this, command = item.action, id = item.argument](bool on) {
            send({.action = command, .argument = id, .on = on});
        });
        return {action};
    }
    case MenuItem::Kind::item: {
        QAction* action = m_menu.addAction(itemText(item));
        action->setEnabled(item.enabled);
        if (!item.symbol.empty())
            action->setIcon(QIcon::fromTheme(QString::fromStdString(item.symbol)));
        if (!item.keyEquivalent.empty()) {
            // Shown beside the item; the hot key itself is the desktop-wide grab, never this menu's.
            action->setShortcut(QKeySequence::fromString(QString::fromStdString(item.keyEquivalent)));
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        if (item.action == MenuAction::selectLayout) {
            action->setCheckable(true);
            action->setChecked(item.checked);
            // The layouts are one exclusive group: shown as radio items.
            const QList<QAction*> before = m_menu.actions();
            QAction* previous = before.size() > 1 ? before[before.size() - 2] : nullptr;
            QActionGroup* group = previous && previous->isCheckable() ? previous->actionGroup() : nullptr;
            (group ? group : new QActionGroup(&m_menu))->addAction(action);
        }
        if (item.action != MenuAction::none)
            connect(action, &QAction::triggered, this,
                    [this, command = MenuCommand{.action = item.action, .argument = item.argument}] { send(command); });
        return {action};
    }
    }
    return {};
}

void PlainStatusMenu::update(const MenuItem& item, const std::vector<QAction*>& actions)
{
    switch (item.kind) {
    case MenuItem::Kind::header:
        actions.front()->setText(plainText(item.title));
        break;
    case MenuItem::Kind::modeSelector:
        for (std::size_t i = 0; i < actions.size(); ++i)
            actions[i]->setChecked(ModeSelectorRow::modes[i] == item.mode);
        break;
    case MenuItem::Kind::toggleRow:
        actions.front()->setText(plainText(item.title));
        actions.front()->setChecked(item.isOn);
        break;
    case MenuItem::Kind::item:
        actions.front()->setText(itemText(item));
        actions.front()->setEnabled(item.enabled);
        if (actions.front()->isCheckable())
            actions.front()->setChecked(item.checked);
        break;
    case MenuItem::Kind::separator:
    case MenuItem::Kind::secureInputBanner:
        break;
    }
}

void PlainStatusMenu::send(const MenuCommand& command)
{
    if (onCommand)
        onCommand(command);
}

}  // namespace kx
