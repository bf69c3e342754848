#include "ui/WindowPlacement.h"

#include "ui/FocusStyle.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

#include <algorithm>

namespace kx {

namespace {

// Sees the key presses that reach the window itself, after every control under the focus let
// them pass.
class EscapeCloser : public QObject {
public:
    explicit EscapeCloser(QWidget& window) : QObject(&window), m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_window && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
                m_window.close();
                return true;
            }
        }
        return false;
    }

private:
    QWidget& m_window;
};

}  // namespace

QRect WindowPlacement::availableArea(const QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QSize WindowPlacement::room(const QRect& area, const QMargins& frame)
{
    return QSize(std::max(0, area.width() - frame.left() - frame.right()),
                 std::max(0, area.height() - frame.top() - frame.bottom()));
}

void WindowPlacement::fit(QWidget& window, QSize wanted, bool resizable)
{
    const QRect area = availableArea(window);
    if (area.isEmpty()) {
        window.resize(wanted);
        return;
    }
    // A window shown before has a real frame to measure.
    const QMargins measured(window.geometry().left() - window.frameGeometry().left(),
                            window.geometry().top() - window.frameGeometry().top(),
                            window.frameGeometry().right() - window.geometry().right(),
                            window.frameGeometry().bottom() - window.geometry().bottom());
    const QMargins frame = window.isVisible() || measured.top() > 0 ? measured : assumedFrame;
    const QSize fitting = wanted.boundedTo(room(area, frame));
    if (resizable) {
        window.setMinimumSize(window.minimumSize().boundedTo(fitting));
        window.resize(fitting);
    } else {
        window.setFixedSize(fitting);
    }
    const QSize outer = fitting.grownBy(frame);
    // Qt places a window by its frame's top-left corner.
    window.move(area.left() + std::max(0, (area.width() - outer.width()) / 2),
                area.top() + std::max(0, (area.height() - outer.height()) / 2));
}

void WindowPlacement::prepare(QWidget& window, QSize wanted, bool resizable)
{
    FocusStyle::install();
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          (resizable ? Qt::WindowMaximizeButtonHint : Qt::WindowType(0)));
    fit(window, wanted, resizable);
    closeOnKeys(window);
}

void WindowPlacement::closeOnKeys(QWidget& window)
{
    // Escape closes the window only when no control in it took the key: an open drop-down closes
    // itself on Escape and must not take the window with it.
    window.installEventFilter(new EscapeCloser(window));
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), &window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &window, &QWidget::close);
}

void WindowPlacement::bringForward(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace kx
