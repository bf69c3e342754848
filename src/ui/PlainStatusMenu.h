#pragma once
// The status menu in plain items only: texts, check marks and radio groups, which a tray that
// draws the menu itself (a StatusNotifierItem host, reached over D-Bus) can show. The rows that
// draw themselves become items: the mode selector three radio items, the application's switch a
// check item, the banner and the section headers disabled lines. It follows every rebuild of the
// status menu, in place where the items are the same, so a host showing it sees the change.

#include "controller/StatusMenu.h"

#include <QMenu>
#include <QObject>

#include <functional>
#include <vector>

namespace kx {

class PlainStatusMenu final : public QObject {
    Q_OBJECT

public:
    explicit PlainStatusMenu(QObject* parent = nullptr);

    /// Told what the user chose, as the status menu's own items and rows tell it.
    std::function<void(const MenuCommand&)> onCommand;

    /// Shows menu's items: nothing changes when they are the ones shown, texts and states are
    /// updated in place when only those differ, else the items are made anew.
    void show(const StatusMenu& menu);
    QMenu& menu() { return m_menu; }

private:
    void rebuild(const StatusMenu& menu);
    /// The items for one of the status menu's items.
    std::vector<QAction*> add(const MenuItem& item);
    void update(const MenuItem& item, const std::vector<QAction*>& actions);
    void send(const MenuCommand& command);

    QMenu m_menu;
    StatusMenu m_shown;
    std::vector<std::vector<QAction*>> m_actions;  // per item of m_shown
};

}  // namespace kx
