#pragma once
// The program's tray icon: the keyboard glyph whose look and tooltip tell whether correction runs,
// a short text shown beside it for a moment, and the status menu, which the controller rebuilds
// just before it opens. The icon follows the panel: where the tray embeds it as a window of ours
// (XEmbed), the panel's colour is read under it and the glyph inked to stand out, and the icon is
// drawn centred in whatever slot the tray gives; where the tray draws it (StatusNotifierItem), the
// outlined glyph reads on both. A click pops up the program's own menu, with its custom rows. A tray
// that draws the menu itself gets the same menu in plain items too, which it shows on a right-click.
// While the menu is open it is never rebuilt, which would close it under the pointer: its items are
// brought up to date in place, and a change of its shape waits until it closes.

#include "controller/StatusItemView.h"
#include "controller/StatusMenu.h"
#include "ui/FlashLabel.h"
#include "ui/PlainStatusMenu.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kx {

class TrayStatusItem final : public QObject, public StatusItemView {
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject* parent = nullptr);
    ~TrayStatusItem() override;

    void showGlyph(const StatusGlyph& glyph) override;
    /// Shows text in the label beside the icon and as its tooltip; the icon keeps the glyph, as
    /// text drawn into a tray icon is too small to read.
    void showText(const std::string& text) override;

    /// Called just before the menu opens, so its content is current.
    std::function<void()> onMenuNeedsUpdate;
    /// Told what the user chose. Quitting is done here: it is the application's, not the controller's.
    std::function<void(const MenuCommand&)> onCommand;
    /// Called once when no tray is there trayWaitMs after the icon is first shown: nothing of the
    /// program is then on screen.
    std::function<void()> onNoTray;
    /// How long a tray may take to come after the program starts, as one started with the session
    /// may come up after it.
    static constexpr int trayWaitMs = 5000;

    /// Replaces the menu's items with menu's; while the menu is open, updates them in place.
    void setMenu(const StatusMenu& menu) override;
    bool menuShown() const override;
    QMenu& menu() { return m_menu; }
    /// The menu in plain items, which a tray that draws the menu itself is given.
    QMenu& plainMenu() { return m_plain.menu(); }
    QSystemTrayIcon& trayIcon() { return m_tray; }
    /// The label that shows a flash's text beside the icon.
    FlashLabel& flashLabel() { return m_flash; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Draws the glyph for the panel's colour as it is now, when either has changed.
    void refreshIcon();
    /// The panel's colour under the icon; none while the tray has not placed it, or draws it itself.
    std::optional<QColor> panelBackground() const;
    /// Starts watching the window Qt embeds in an XEmbed tray, once it exists.
    void watchEmbeddedWindow();
    void perform(const MenuCommand& command);
    void rebuild(const StatusMenu& menu);
    QAction* addItem(const MenuItem& item);
    /// Whether menu has the items of the open one, each of the same kind and purpose.
    bool sameShape(const StatusMenu& menu) const;
    void updateInPlace(const StatusMenu& menu);

    QSystemTrayIcon m_tray;
    QMenu m_menu;
    PlainStatusMenu m_plain;
    QTimer m_trayWait;
    FlashLabel m_flash;
    StatusMenu m_shown;
    std::vector<QAction*> m_actions;  // one per item of m_shown
    std::optional<StatusMenu> m_pending;
    StatusGlyph m_glyph;
    // The glyph and the panel's colour the icon was drawn for, so a move that leaves both as they
    // were leaves the icon alone.
    std::optional<std::pair<StatusGlyph, std::optional<QRgb>>> m_drawn;
    QPointer<QWidget> m_embedded;
};

}  // namespace kx
