#pragma once
// The typing drill's view: a control bar (run or stop, score, progress, copy, pace), the field the
// drill types into, and the results, newest first. It owns its drill; closing the view stops a
// run, so that no keys go to whatever has the focus afterwards. Launched with the drill option, it
// starts a run by itself once, shortly after it is first shown.

#include "controller/Drill.h"
#include "engine/LayoutRegistry.h"
#include "platform/Observable.h"

#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace kx {

class Spinner;

class DrillView : public QWidget {
    Q_OBJECT

public:
    /// Over OnboardingServices::shared(); registry must outlive the view.
    explicit DrillView(const LayoutRegistry& registry, QWidget* parent = nullptr);
    DrillView(const LayoutRegistry& registry, const Drill::Services& services, QWidget* parent = nullptr);
    ~DrillView() override;

    Drill& drill() { return m_drill; }
    QPushButton* runButton() const { return m_run; }
    QPushButton* copyButton() const { return m_copy; }
    QPlainTextEdit* field() const { return m_field; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    class TextField;

    QWidget* makeControlBar();
    QWidget* makeTypingArea();
    QWidget* makeResults();
    void follow();
    void rebuildResults();
    void copyReport();
    void autostartIfAsked();

    const LayoutRegistry& m_registry;
    Drill m_drill;
    std::unique_ptr<TextField> m_textField;
    bool m_copied = false;

    QPushButton* m_run = nullptr;
    QLabel* m_score = nullptr;
    Spinner* m_spinner = nullptr;
    QPushButton* m_copy = nullptr;
    std::array<QToolButton*, 3> m_paces{};
    QWidget* m_pacePicker = nullptr;
    QLabel* m_caption = nullptr;
    QPlainTextEdit* m_field = nullptr;
    QStackedWidget* m_results = nullptr;
    QVBoxLayout* m_rows = nullptr;
    std::size_t m_shownOutcomes = 0;
    std::unique_ptr<Subscription> m_subscription;
};

}  // namespace kx
