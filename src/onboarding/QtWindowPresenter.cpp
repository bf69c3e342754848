#include "onboarding/QtWindowPresenter.h"

#include "onboarding/SetupWindow.h"
#include "onboarding/WalkthroughWindow.h"

namespace kx {

void QtWindowPresenter::showWalkthrough()
{
    WalkthroughWindow::shared().show();
}

void QtWindowPresenter::showSetup()
{
    SetupWindow::shared().show();
}

}  // namespace kx
