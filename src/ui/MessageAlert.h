#pragma once
// The controller's alerts as Qt message boxes. The program lives in the tray and may have no
// window, so a box belongs to the application: modal to all of it, brought to the front, and
// answered through its finished signal rather than a nested event loop.

#include "controller/AlertView.h"

#include <QMessageBox>
#include <QPointer>

namespace kx {

class MessageAlert final : public AlertView {
public:
    MessageAlert() = default;
    ~MessageAlert() override;
    MessageAlert(const MessageAlert&) = delete;
    MessageAlert& operator=(const MessageAlert&) = delete;

    void show(const Alert& alert, std::function<void(std::optional<std::size_t>)> then) override;

    /// The last box shown while it is open; null otherwise.
    QMessageBox* box() const { return m_box; }

private:
    QPointer<QMessageBox> m_box;
};

}  // namespace kx
