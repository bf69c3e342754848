#pragma once
// The walkthrough window's content: a small scene of the model's stage — the logo, a dashed wire
// that shows whether keys reach the corrector, the three-mode selector, and a simulated text field
// or, on the last step, the two permission rows — with a caption per step and a footer of step
// dots and navigation buttons; once the send-off has begun, only the send-off and "Close". It
// holds no state of its own: everything follows the model, and every control calls the model,
// the page opener or the model's onFinish.

#include "onboarding/WalkthroughModel.h"
#include "platform/Observable.h"
#include "platform/Permissions.h"

#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace kx {

class WalkthroughStage;
class WalkthroughDots;

class WalkthroughView : public QWidget {
    Q_OBJECT

public:
    static constexpr int openWidth = 620;
    static constexpr int openHeight = 460;

    /// The caption of each step.
    static const std::map<WalkStep, std::string>& lines();

    /// explain tells how to get a permission on this desktop; model must outlive the view.
    WalkthroughView(WalkthroughModel& model, std::function<void(platform::Permission)> explain,
                    QWidget* parent = nullptr);
    ~WalkthroughView() override;

    QPushButton* backButton() const { return m_back; }
    /// "Next", "Skip for now" or "Start using Kestrelix", as the step asks.
    QPushButton* forwardButton() const { return m_forward; }
    QPushButton* closeButton() const { return m_close; }
    WalkthroughStage* stage() const { return m_stage; }
    /// What Return presses when no button has the focus: the forward button, or "Close" in the send-off.
    QPushButton* defaultButton() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void follow();

    WalkthroughModel& m_model;
    QStackedWidget* m_pages = nullptr;
    WalkthroughStage* m_stage = nullptr;
    QLabel* m_caption = nullptr;
    WalkthroughDots* m_dots = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_forward = nullptr;
    QLabel* m_sendOff = nullptr;
    QPushButton* m_close = nullptr;
    std::unique_ptr<Subscription> m_subscription;
};

}  // namespace kx
