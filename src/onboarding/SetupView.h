#pragma once
// The setup window's content: the logo and wordmark, one step row per permission with a button
// that opens the page where it is granted, three short instructions, and a footer that says
// whether both are on. It follows the model's two flags.

#include "onboarding/SetupModel.h"
#include "platform/Observable.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QPushButton;
class QStackedWidget;

namespace kx {

class SetupStepRow;

class SetupView : public QWidget {
    Q_OBJECT

public:
    static constexpr int viewWidth = 460;
    static constexpr int viewHeight = 560;

    /// openPage opens the page where a permission is granted; model must outlive the view.
    SetupView(SetupModel& model, std::function<void(const std::string&)> openPage, QWidget* parent = nullptr);
    ~SetupView() override;

    /// The footer's "Done".
    std::function<void()> onDone;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeInstructions();
    QWidget* makeFooter();
    void follow();

    SetupModel& m_model;
    std::function<void(const std::string&)> m_openPage;
    SetupStepRow* m_accessibilityRow = nullptr;
    SetupStepRow* m_inputMonitoringRow = nullptr;
    QStackedWidget* m_footer = nullptr;
    QPushButton* m_done = nullptr;
    std::unique_ptr<Subscription> m_subscription;
};

}  // namespace kx
