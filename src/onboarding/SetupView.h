#pragma once
// The setup window's content: the logo and wordmark, one step row per permission saying what this
// desktop has or lacks, with a button that tells how to get it, three short instructions, and a
// footer that says whether both are on. It follows the model's two flags.

#include "onboarding/SetupModel.h"
#include "platform/Observable.h"
#include "platform/Permissions.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace kx {

class SetupStepRow;

class SetupView : public QWidget {
    Q_OBJECT

public:
    static constexpr int viewWidth = 460;
    static constexpr int viewHeight = 560;

    /// explain tells how to get a permission on this desktop; model must outlive the view.
    SetupView(SetupModel& model, std::function<void(platform::Permission)> explain, QWidget* parent = nullptr);

    /// What a permission's row says: what it is for, and what is missing when it is not granted;
    /// missing names what the display lacks for keyboard access.
    static QString detail(platform::Permission permission, bool granted, const std::vector<std::string>& missing);
    /// The footer's line: what Kestrelix is waiting for, or that this session cannot give it.
    static QString footerText(bool accessibility, bool keyboard, const std::vector<std::string>& missing);
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
    std::function<void(platform::Permission)> m_explain;
    SetupStepRow* m_accessibilityRow = nullptr;
    SetupStepRow* m_inputMonitoringRow = nullptr;
    QStackedWidget* m_footer = nullptr;
    QWidget* m_spinner = nullptr;
    QLabel* m_waiting = nullptr;
    QPushButton* m_done = nullptr;
    std::unique_ptr<Subscription> m_subscription;
};

}  // namespace kx
