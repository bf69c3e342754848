#pragma once
// The controller's way to the setup window and the walkthrough: their shared windows.

#include "controller/WindowPresenter.h"

namespace kx {

class QtWindowPresenter final : public WindowPresenter {
public:
    void showWalkthrough() override;
    void showSetup() override;
};

}  // namespace kx
