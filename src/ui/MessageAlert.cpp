#include "ui/MessageAlert.h"

#include "ui/DialogWidth.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace kx {

MessageAlert::~MessageAlert()
{
    // A box still open at exit goes with the application object, never after it.
    if (QCoreApplication::instance())
        delete m_box;
}

void MessageAlert::show(const Alert& alert, std::function<void(std::optional<std::size_t>)> then)
{
    auto* box = new QMessageBox;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle(QStringLiteral("Kestrelix"));
    box->setText(QString::fromStdString(alert.message));
    box->setInformativeText(QString::fromStdString(alert.informativeText));

    std::vector<QAbstractButton*> buttons;
    for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        buttons.push_back(box->addButton(QString::fromStdString(alert.buttons[i]), role));
    }
    if (!buttons.empty()) {
        box->setDefaultButton(static_cast<QPushButton*>(buttons.front()));
        // Escape and the window's close button choose the last button, the one that declines.
        box->setEscapeButton(buttons.back());
    }

    DialogWidth::holdTitle(*box);

    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, then = std::move(then)] {
        std::optional<std::size_t> chosen;
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i] == box->clickedButton())
                chosen = i;
        if (then)
            then(chosen);
    });
    m_box = box;
    // show(), not open(): open() would make the box modal to a parent window it does not have.
    box->show();
    box->raise();
    box->activateWindow();
}

}  // namespace kx
