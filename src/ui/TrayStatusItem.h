#pragma once
// The program's tray icon: the keyboard glyph whose look and tooltip tell whether correction runs,
// a short text drawn in its place for a moment, and the status menu, which the controller rebuilds
// just before it opens. The menu is popped up by the program itself rather than handed to the
// tray, because a menu exported to the desktop's tray host loses the custom rows. While the menu is
// open it is never rebuilt, which would close it under the pointer: its items are brought up to
// date in place, and a change of its shape waits until it closes.

#include "controller/StatusItemView.h"
#include "controller/StatusMenu.h"
#include "ui/FlashLabel.h"

#include <QImage>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <optional>
#include <vector>

namespace kx {

class TrayStatusItem final : public QObject, public StatusItemView {
    Q_OBJECT

public:
    /// The side of the square images handed to the tray; the tray host scales them to its size.
    static constexpr int iconSide = 64;

    explicit TrayStatusItem(QObject* parent = nullptr);
    ~TrayStatusItem() override;

    void showGlyph(const StatusGlyph& glyph) override;
    void showText(const std::string& text) override;

    /// Called just before the menu opens, so its content is current.
    std::function<void()> onMenuNeedsUpdate;
    /// Told what the user chose. Quitting is done here: it is the application's, not the controller's.
    std::function<void(const MenuCommand&)> onCommand;

    /// Replaces the menu's items with menu's; while the menu is open, updates them in place.
    void setMenu(const StatusMenu& menu) override;
    QMenu& menu() { return m_menu; }
    QSystemTrayIcon& trayIcon() { return m_tray; }
    /// The label that shows a flash's text beside the icon.
    FlashLabel& flashLabel() { return m_flash; }

    /// The glyph as the state asks for it, drawn from source (the monochrome image) in its tint, or
    /// in the plain text colour when it has none; null when source is.
    static QImage glyphImage(const QImage& source, const StatusGlyph& glyph, const QColor& textColor);
    /// text drawn as large as fits into the icon's square.
    static QImage textImage(const QString& text, const QColor& textColor);

private:
    void perform(const MenuCommand& command);
    void rebuild(const StatusMenu& menu);
    QAction* addItem(const MenuItem& item);
    /// Whether menu has the items of the open one, each of the same kind and purpose.
    bool sameShape(const StatusMenu& menu) const;
    void updateInPlace(const StatusMenu& menu);

    QSystemTrayIcon m_tray;
    QMenu m_menu;
    FlashLabel m_flash;
    StatusMenu m_shown;
    std::vector<QAction*> m_actions;  // one per item of m_shown
    std::optional<StatusMenu> m_pending;
};

}  // namespace kx
