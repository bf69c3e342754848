#pragma once
// The windows of the setup and the walkthrough, as the controller opens them. Each window is made
// on first use and reused afterwards.

namespace kx {

class WindowPresenter {
public:
    virtual ~WindowPresenter() = default;

    virtual void showWalkthrough() = 0;
    virtual void showSetup() = 0;
};

}  // namespace kx
