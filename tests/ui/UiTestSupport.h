#pragma once
// Helpers of the Qt side's tests: pictures of widgets, clicks and pointer moves sent straight to
// a widget, labels found by their text, and waiting out an animation while the event loop runs.

#include "TempFolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTextDocument>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kx::test {

/// Renders widget at its size into a PNG in this process's picture folder (and into $KX_UI_SHOTS
/// when that is set, to look at by hand); returns the picture.
inline QImage shot(QWidget& widget, const std::string& name)
{
    static TempFolder folder{"kx-ui-shots"};
    const QImage image = widget.grab().toImage();
    image.save(QString::fromStdString((folder / (name + ".png")).string()));
    if (const char* extra = std::getenv("KX_UI_SHOTS")) {
        std::filesystem::create_directories(extra);
        image.save(QString::fromStdString((std::filesystem::path(extra) / (name + ".png")).string()));
    }
    return image;
}

inline void sendMouse(QWidget& widget, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease || type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, at, widget.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

/// Moves the focus with the Tab key, as a user does, until target has it; whether it got there.
inline bool tabTo(QWidget& target, int most = 60)
{
    target.window()->activateWindow();
    // At least one Tab: focus that came another way shows no ring.
    for (int i = 0; i < most; ++i) {
        QWidget* from = QApplication::focusWidget() ? QApplication::focusWidget() : target.window();
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(from, &tab);
        if (target.hasFocus())
            return true;
    }
    return false;
}

/// A press and a release at at, as a click.
inline void click(QWidget& widget, QPointF at)
{
    sendMouse(widget, QEvent::MouseButtonPress, at);
    sendMouse(widget, QEvent::MouseButtonRelease, at);
}

/// The label under parent showing exactly text; null when none.
inline QLabel* labelWithText(QWidget& parent, const QString& text)
{
    for (QLabel* label : parent.findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

/// Whether label takes its text for markup instead of showing it as typed.
inline bool readsMarkup(const QLabel& label)
{
    return label.textFormat() != Qt::PlainText &&
           (label.textFormat() != Qt::AutoText || Qt::mightBeRichText(label.text()));
}

/// Runs the event loop for milliseconds, so animations and timers move on.
inline void runFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace kx::test
