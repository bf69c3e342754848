#pragma once
// A menu row, 300 wide unless the menu is wider: an optional icon, a title with an optional subtitle, an optional
// button that opens the application list, and a switch at the right end. Only the switch and the button react to
// clicks; the menu stays open when the switch is clicked. The menu's arrow keys reach the switch, and Space flips it;
// Left reaches the button, which Space or Return presses. Taller with larger text.

#include <QIcon>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QToolButton;

namespace kx {

class MiniToggle;

class ToggleMenuRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int rowWidth = 300;

    /// A null icon shows none.
    ToggleMenuRow(const QString& title, const std::optional<QString>& subtitle, const QIcon& icon, bool isOn,
                  bool showDisclosure, QWidget* parent = nullptr);

    /// Called with the switch's new state.
    std::function<void(bool)> onToggle;
    /// Called after the menu has closed, when the disclosure button was clicked.
    std::function<void()> onDisclosure;

    MiniToggle* toggle() const { return m_toggle; }
    /// Null when the row has none.
    QToolButton* disclosureButton() const { return m_disclosure; }
    bool hovering() const { return m_hovering; }
    /// Where the title and the subtitle are drawn.
    QRect textRect() const;

    /// Closes the menu, then calls onDisclosure.
    void disclose();

    QSize sizeHint() const override { return {rowWidth, height()}; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void placeControls();

    QString m_title;
    std::optional<QString> m_subtitle;
    QIcon m_icon;
    MiniToggle* m_toggle;
    QToolButton* m_disclosure = nullptr;
    bool m_hovering = false;
};

}  // namespace kx
