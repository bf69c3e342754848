// A text field for the desktop tests: a Qt line edit, the only window, focused at start. Each time
// its text changes it writes the whole text to the file named by its one argument, so a test can
// read what the keys typed. It prints "ready" once the window has the keyboard focus.

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString output = QString::fromLocal8Bit(argv[1]);
    QLineEdit field;
    field.setWindowTitle("kestrelix-test-field");
    field.resize(400, 40);
    QObject::connect(&field, &QLineEdit::textChanged, [&](const QString& text) {
        QFile file(output + ".part");
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        file.write(text.toUtf8());
        file.close();
        // Whole or not at all: the test may read at any moment.
        QFile::remove(output);
        QFile::rename(output + ".part", output);
    });
    field.show();
    field.activateWindow();
    field.setFocus();
    // Announce readiness only when the focus has really arrived.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (field.hasFocus() && field.isActiveWindow()) {
            poll.stop();
            std::puts("ready");
            std::fflush(stdout);
        }
    });
    poll.start(20);
    return app.exec();
}
