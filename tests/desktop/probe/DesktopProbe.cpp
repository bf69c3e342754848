// A small Qt application that the desktop tests drive: a window of a chosen WM_CLASS holding one
// focused text field, optionally a password field, optionally owning the clipboard, optionally
// leaving the field's text in a file, optionally logging the key presses it receives.
//
//   kx_desktop_probe --class NAME [--password] [--text TEXT] [--caret N] [--select FROM TO]
//                    [--copy TEXT HTML] [--report FILE] [--keys FILE]
//
// With --report it writes the field's whole text to FILE at start and after every change; with
// --keys it appends one line per key press the field receives ("Ctrl+Z", "X"; modifier keys on
// their own are left out). It
// prints "ready" once the field has the keyboard focus, then runs until killed.

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMimeData>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace {

// Whole or not at all: the test may read the file at any moment.
void report(const QString& file, const QString& text)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    out.write(text.toUtf8());
    out.commit();
}

// Appends every key press of the object it watches to a file, as Qt names the chord.
class KeyLog : public QObject {
public:
    explicit KeyLog(const QString& file) : m_file(file) { m_file.open(QIODevice::WriteOnly | QIODevice::Append); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!isModifier(key->key())) {
                m_file.write(QKeySequence(key->keyCombination()).toString().toUtf8() + '\n');
                m_file.flush();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static bool isModifier(int key)
    {
        return key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Shift || key == Qt::Key_Meta ||
               key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
    }

    QFile m_file;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString className = QStringLiteral("KxProbe");
    bool password = false;
    QString text;
    int caret = -1;
    int selectFrom = -1;
    int selectTo = -1;
    QString copyText;
    QString copyHtml;
    QString reportFile;
    QString keysFile;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--class" && hasValue)
            className = args[++i];
        else if (arg == "--password")
            password = true;
        else if (arg == "--text" && hasValue)
            text = args[++i];
        else if (arg == "--caret" && hasValue)
            caret = args[++i].toInt();
        else if (arg == "--select" && i + 2 < args.size()) {
            selectFrom = args[++i].toInt();
            selectTo = args[++i].toInt();
        } else if (arg == "--copy" && i + 2 < args.size()) {
            copyText = args[++i];
            copyHtml = args[++i];
        } else if (arg == "--report" && hasValue)
            reportFile = args[++i];
        else if (arg == "--keys" && hasValue)
            keysFile = args[++i];
    }
    // Qt names the window's WM_CLASS after the application.
    QApplication::setApplicationName(className);

    QWidget window;
    window.setWindowTitle(className);
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    layout->addWidget(field);
    field->setAccessibleName(QStringLiteral("probe field"));
    if (password)
        field->setEchoMode(QLineEdit::Password);
    field->setText(text);
    if (selectFrom >= 0)
        field->setSelection(selectFrom, selectTo - selectFrom);
    else if (caret >= 0)
        field->setCursorPosition(caret);
    if (!reportFile.isEmpty()) {
        report(reportFile, text);
        QObject::connect(field, &QLineEdit::textChanged, [&](const QString& now) { report(reportFile, now); });
    }
    std::unique_ptr<KeyLog> keyLog;
    if (!keysFile.isEmpty()) {
        keyLog = std::make_unique<KeyLog>(keysFile);
        field->installEventFilter(keyLog.get());
    }
    window.resize(320, 80);
    window.show();
    window.activateWindow();
    field->setFocus();

    if (!copyText.isEmpty()) {
        auto* data = new QMimeData;
        data->setText(copyText);
        data->setHtml(copyHtml);
        QApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    }

    // Keys sent before the window manager hands over the focus would go elsewhere.
    QTimer focusWatch;
    QObject::connect(&focusWatch, &QTimer::timeout, [&] {
        if (field->hasFocus() && window.isActiveWindow()) {
            focusWatch.stop();
            std::puts("ready");
            std::fflush(stdout);
        }
    });
    focusWatch.start(20);
    return app.exec();
}
