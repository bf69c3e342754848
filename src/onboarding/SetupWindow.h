#pragma once
// The window that leads the user to the two permissions. Made on the first show() and kept for
// the process's life; while it is open it re-reads the permissions every 0.8 s. It only reports:
// the corrector starts from the controller's own permission polling. Main thread only.

#include "controller/PageOpener.h"
#include "onboarding/SetupModel.h"
#include "platform/MainQueue.h"
#include "platform/Permissions.h"

#include <QObject>

#include <memory>

class QWidget;

namespace kx {

class SetupView;

class SetupWindow : public QObject {
    Q_OBJECT

public:
    /// The process's window, over OnboardingServices::shared().
    static SetupWindow& shared();

    /// Everything must outlive the window.
    SetupWindow(MainQueue& main, platform::Permissions& permissions, PageOpener& pages);
    ~SetupWindow() override;

    /// Makes the window on first use; every time starts polling and brings it to the front.
    void show();
    /// None before the first show().
    QWidget* window() const;
    SetupModel& model() { return m_model; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SetupModel m_model;
    PageOpener& m_pages;
    std::unique_ptr<SetupView> m_view;
};

}  // namespace kx
