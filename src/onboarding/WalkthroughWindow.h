#pragma once
// The walkthrough's window: made on the first show() and kept for the process's life. Every show()
// starts the walkthrough over at its first step and notes that it was seen. Main thread only.

#include "controller/PageOpener.h"
#include "onboarding/WalkthroughModel.h"
#include "platform/Defaults.h"
#include "platform/MainQueue.h"
#include "platform/Permissions.h"

#include <QObject>

#include <memory>

class QWidget;

namespace kx {

class WalkthroughView;

class WalkthroughWindow : public QObject {
    Q_OBJECT

public:
    static constexpr const char* seenKey = "kestrelix.seenWalkthrough";

    /// The process's window, over OnboardingServices::shared().
    static WalkthroughWindow& shared();

    /// Everything must outlive the window.
    WalkthroughWindow(MainQueue& main, platform::Permissions& permissions, PageOpener& pages, Defaults& defaults);
    ~WalkthroughWindow() override;

    /// Makes the window on first use, restarts the walkthrough, notes it as seen and brings the
    /// window to the front.
    void show();
    /// None before the first show().
    QWidget* window() const;
    WalkthroughModel& model() { return m_model; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WalkthroughModel m_model;
    platform::Permissions& m_permissions;
    PageOpener& m_pages;
    Defaults& m_defaults;
    std::unique_ptr<WalkthroughView> m_view;
};

}  // namespace kx
