#pragma once
// The controller's way to the setup window and the walkthrough: their shared windows, one at a
// time. Both may come by themselves at first start; the one asked for second waits until the
// other closes rather than open on top of it.

#include "controller/WindowPresenter.h"

#include <functional>

class QWidget;

namespace kx {

class QtWindowPresenter final : public WindowPresenter {
public:
    void showWalkthrough() override;
    void showSetup() override;

private:
    /// Runs show now, or once other has closed while it is open; what it shows becomes shown.
    void showAfter(QWidget*& other, QWidget*& shown, const std::function<QWidget*()>& show);

    // Kept for the process's life once made.
    QWidget* m_setup = nullptr;
    QWidget* m_walkthrough = nullptr;
    bool m_waiting = false;
};

}  // namespace kx
