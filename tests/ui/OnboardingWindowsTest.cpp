// The setup window and the walkthrough window offscreen: what they show for each state, what their
// controls do, and pictures of them.

#include "controller/Permissions.h"
#include "onboarding/OnboardingServices.h"
#include "onboarding/QtWindowPresenter.h"
#include "onboarding/SetupModel.h"
#include "onboarding/SetupView.h"
#include "onboarding/SetupWindow.h"
#include "onboarding/Spinner.h"
#include "onboarding/WalkthroughStage.h"
#include "onboarding/WalkthroughView.h"
#include "onboarding/WalkthroughWindow.h"
#include "platform/Defaults.h"
#include "platform/VirtualMainQueue.h"
#include "platform/sim/SimPermissions.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"

// Last: Qt's emit keyword would spoil the Signal of the headers above.
#include "SettingsTestSupport.h"
#include "UiTestSupport.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace kx::test {
namespace {

/// Every text a widget's labels and buttons show, visible or not.
bool shows(QWidget& widget, const QString& text)
{
    for (const QLabel* label : widget.findChildren<QLabel*>())
        if (label->isVisibleTo(&widget) && label->text().contains(text))
            return true;
    for (const QPushButton* button : widget.findChildren<QPushButton*>())
        if (button->isVisibleTo(&widget) && button->text() == text)
            return true;
    return false;
}

void pressReturn(QWidget& widget)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
}

class OnboardingWindows : public ::testing::Test {
protected:
    VirtualMainQueue queue;
    sim::SimPermissions permissions;
    RecordingWorkspace workspace;
    StringPasteboard pasteboard;
    AnsweringAlerts alerts;
    PageOpener pages{workspace, pasteboard, &alerts};
    MemoryDefaults defaults;
};

// The permission reads publish only changes, and polling runs from startPolling until stopPolling.
TEST_F(OnboardingWindows, SetupModelPollsAndPublishesChanges)
{
    permissions.accessibility = false;
    SetupModel model(queue, permissions);
    int changes = 0;
    const auto subscription = model.changed.subscribe([&] { changes += 1; });
    model.startPolling();
    queue.advance(4 * SetupModel::pollInterval);
    EXPECT_EQ(changes, 0);
    permissions.accessibility = true;
    queue.advance(SetupModel::pollInterval);
    EXPECT_TRUE(model.accessibility());
    EXPECT_EQ(changes, 1);
    model.stopPolling();
    permissions.inputMonitoring = false;
    queue.advance(5);
    EXPECT_TRUE(model.inputMonitoring());
    EXPECT_EQ(queue.pending(), 0u);
}

// The setup window says what is still missing, naming exactly the extensions the display lacks,
// waits only for what can come while it is open, and offers "Done" on Return once both are on.
TEST_F(OnboardingWindows, SetupWindowFollowsThePermissions)
{
    permissions.accessibility = false;
    permissions.inputMonitoring = false;
    permissions.missingExtensions = {"RECORD"};
    SetupWindow setup(queue, permissions, pages);
    setup.show();
    QWidget* window = setup.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Kestrelix Setup — Beta");
    EXPECT_EQ(window->size(), QSize(460, 560));
    auto* spinner = window->findChild<Spinner*>();
    ASSERT_NE(spinner, nullptr);
    const auto focused = [&] {
        auto* button = qobject_cast<QPushButton*>(window->focusWidget());
        return button ? button->text() : QString();
    };
    // Without RECORD nothing can come while the window is open: it says so instead of spinning.
    EXPECT_TRUE(shows(*window, "Keyboard access"));
    EXPECT_FALSE(shows(*window, "Input Monitoring"));
    EXPECT_TRUE(shows(*window, "this display lacks RECORD, which"));
    EXPECT_FALSE(shows(*window, "XKB, XTEST, RECORD"));
    EXPECT_TRUE(shows(*window, "it lacks RECORD. Log in to a new X11 session"));
    EXPECT_FALSE(spinner->isVisibleTo(window));
    EXPECT_FALSE(shows(*window, "Done"));
    EXPECT_EQ(focused(), QString::fromUtf8("How to Turn On…"));
    shot(*window, "setup-waiting");

    permissions.accessibility = true;
    queue.advance(SetupModel::pollInterval);
    EXPECT_FALSE(shows(*window, "Waiting for"));
    EXPECT_EQ(focused(), QString::fromUtf8("What to Do…")) << "the focus leaves the step that is done";
    // The step done is outlined in blue and offers nothing more to turn on; the one to do keeps its
    // button and a faint outline.
    const auto outlineBlue = [&](const char* step) {
        const QImage row = window->findChild<QWidget*>(step)->grab().toImage();
        const QColor edge = row.pixelColor(0, row.height() / 2);
        return edge.blue() - edge.red();
    };
    EXPECT_GT(outlineBlue("accessibilityStep"), outlineBlue("keyboardStep") + 20);
    const auto offers = [&](const char* step) {
        return shows(*window->findChild<QWidget*>(step), QString::fromUtf8("How to Turn On…")) ||
               shows(*window->findChild<QWidget*>(step), QString::fromUtf8("What to Do…"));
    };
    EXPECT_FALSE(offers("accessibilityStep"));
    EXPECT_TRUE(offers("keyboardStep"));
    pressReturn(*window);
    EXPECT_TRUE(window->isVisible());
    shot(*window, "setup-one-granted");

    permissions.inputMonitoring = true;
    queue.advance(SetupModel::pollInterval);
    EXPECT_TRUE(shows(*window, "You're all set"));
    EXPECT_TRUE(shows(*window, "the panel’s tray"));
    // A white check mark on a filled green circle.
    auto* mark = window->findChild<QWidget*>(QStringLiteral("allSetMark"));
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->isVisibleTo(window));
    const QImage markImage = mark->grab().toImage();
    const QColor rim = markImage.pixelColor(3, markImage.height() / 2);
    EXPECT_GT(rim.green(), 150);
    EXPECT_LT(rim.red(), 100);
    EXPECT_GT(markImage.pixelColor(markImage.width() * 2 / 5, markImage.height() * 3 / 5).red(), 200);
    shot(*window, "setup-all-set");
    pressReturn(*window);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(setup.model().polling());

    // Only accessibility missing: that is what it waits for, and it can come at any moment.
    permissions.accessibility = false;
    setup.show();
    EXPECT_EQ(setup.window(), window);
    EXPECT_TRUE(setup.model().polling());
    EXPECT_FALSE(setup.model().accessibility());
    EXPECT_TRUE(shows(*window, QString::fromUtf8("Waiting for accessibility — Kestrelix starts the moment it’s on.")));
    EXPECT_TRUE(spinner->isVisibleTo(window));
    window->close();
}

// Every row's button tells how to get its part on this desktop: X11 has no page for keyboard
// access, only what the server lacks, named exactly.
TEST_F(OnboardingWindows, SetupButtonsExplainWhatIsMissing)
{
    permissions.accessibility = false;
    permissions.inputMonitoring = false;
    permissions.missingExtensions = {"XTEST", "RECORD"};
    SetupWindow setup(queue, permissions, pages);
    setup.show();
    ::setenv("XDG_CURRENT_DESKTOP", "Openbox", 1);
    for (QPushButton* button : setup.window()->findChildren<QPushButton*>())
        if (button->text() == QString::fromUtf8("How to Turn On…") ||
            button->text() == QString::fromUtf8("What to Do…"))
            button->click();
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[0].informativeText, std::string(Permissions::accessibilitySteps));
    EXPECT_EQ(alerts.shown[1].informativeText, Permissions::keyboardAccessSteps({"XTEST", "RECORD"}));
    EXPECT_NE(alerts.shown[1].informativeText.find("lacks XTEST and RECORD"), std::string::npos);
    EXPECT_TRUE(workspace.opened.empty()) << "GNOME's help exists only on GNOME";
    setup.window()->close();
}

class WalkthroughWindows : public OnboardingWindows {
protected:
    WalkthroughWindows()
    {
        permissions.accessibility = false;
        permissions.inputMonitoring = false;
        walkthrough.show();
        view = static_cast<WalkthroughView*>(walkthrough.window());
    }
    ~WalkthroughWindows() override { view->close(); }

    WalkthroughModel& model() { return walkthrough.model(); }
    /// Lets the script and the view's animations run to the frame wanted.
    void settle(double seconds)
    {
        queue.advance(seconds);
        runFor(350);
    }

    WalkthroughWindow walkthrough{queue, permissions, pages, defaults};
    WalkthroughView* view = nullptr;
};

// Showing notes the walkthrough as seen; showing again reuses the window and starts over.
TEST_F(WalkthroughWindows, ShowingStartsOverAndIsRemembered)
{
    EXPECT_EQ(defaults.boolean(WalkthroughWindow::seenKey), true);
    EXPECT_EQ(view->windowTitle(), "Kestrelix");
    EXPECT_EQ(view->size(), QSize(620, 460));
    model().go(WalkStep::secure);
    walkthrough.show();
    EXPECT_EQ(walkthrough.window(), view);
    EXPECT_EQ(model().state().step, WalkStep::automatic);
    EXPECT_TRUE(model().lineWords().empty());
}

// Each step shows its caption and its footer buttons, through the send-off's "Close".
TEST_F(WalkthroughWindows, FooterFollowsTheStep)
{
    settle(7 * WalkthroughModel::tick);
    shot(*view, "walkthrough-0-automatic-typing");
    settle(WalkthroughModel::tick);
    EXPECT_TRUE(shows(*view, "Keep typing — it's taken care of."));
    EXPECT_FALSE(view->backButton()->isVisibleTo(view));
    EXPECT_EQ(view->forwardButton()->text(), "Next");
    shot(*view, "walkthrough-1-automatic");

    view->forwardButton()->click();
    settle(21 * WalkthroughModel::tick);
    EXPECT_EQ(model().state().step, WalkStep::ask);
    EXPECT_TRUE(view->backButton()->isVisibleTo(view));
    shot(*view, "walkthrough-2-ask");

    view->forwardButton()->click();
    settle(15 * WalkthroughModel::tick);
    EXPECT_TRUE(shows(*view, "Use Ctrl+Alt+K to convert typos and selections."));
    shot(*view, "walkthrough-3-manual");

    view->forwardButton()->click();
    settle(5 * WalkthroughModel::tick);
    shot(*view, "walkthrough-4-secure");

    view->forwardButton()->click();
    settle(0);
    EXPECT_EQ(model().state().step, WalkStep::permissions);
    EXPECT_EQ(view->forwardButton()->text(), "Skip for now");
    shot(*view, "walkthrough-5-permissions-missing");
    auto* caption = labelWithText(
        *view, Symbols::withImages(QString::fromUtf8("Help me, help you. 🙂"), 17, SystemColors::label(view)));
    ASSERT_NE(caption, nullptr) << "the smile is drawn, not left to an emoji font";
    EXPECT_TRUE(caption->text().contains("<img src=\"data:image/png;base64,"));

    view->backButton()->click();
    EXPECT_EQ(model().state().step, WalkStep::secure);
    view->forwardButton()->click();

    permissions.accessibility = true;
    permissions.inputMonitoring = true;
    settle(WalkthroughModel::pollInterval);
    EXPECT_EQ(view->forwardButton()->text(), "Start using Kestrelix");
    shot(*view, "walkthrough-6-permissions-granted");

    view->forwardButton()->click();
    settle(8 * WalkthroughModel::tick);
    EXPECT_TRUE(model().state().finished);
    EXPECT_TRUE(view->closeButton()->isVisible());
    shot(*view, "walkthrough-7-send-off-typing");
    settle(10 * WalkthroughModel::tick);
    EXPECT_TRUE(shows(*view, "You're all set!"));
    shot(*view, "walkthrough-8-send-off");
    view->closeButton()->click();
    EXPECT_FALSE(view->isVisible());
}

// Return presses the forward button, and "Close" in the send-off; a focused button shows a ring
// and Return presses that one instead.
TEST_F(WalkthroughWindows, ReturnPressesTheDefaultButton)
{
    const auto press = [this](QWidget& target) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&target, &key);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&target, &up);
        settle(0);
    };
    press(*view);
    EXPECT_EQ(model().state().step, WalkStep::ask);

    const QImage plain = view->backButton()->grab().toImage();
    ASSERT_TRUE(tabTo(*view->backButton()));
    settle(0);
    EXPECT_NE(view->backButton()->grab().toImage(), plain) << "a focus ring";
    press(*view->backButton());
    EXPECT_EQ(model().state().step, WalkStep::automatic);

    model().go(WalkStep::permissions);
    permissions.accessibility = true;
    permissions.inputMonitoring = true;
    settle(WalkthroughModel::pollInterval);
    view->setFocus();
    press(*view);
    EXPECT_TRUE(model().state().finished);
    EXPECT_EQ(view->defaultButton(), view->closeButton());
    press(*view);
    EXPECT_FALSE(view->isVisible());
}

// "Skip for now" closes the window without the send-off, and closing stops the script and the poll.
TEST_F(WalkthroughWindows, SkipClosesAndClosingStops)
{
    model().go(WalkStep::permissions);
    view->forwardButton()->click();
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(model().state().finished);
    queue.advance(10);
    EXPECT_EQ(queue.pending(), 0u);
}

// The mode buttons jump to their step's script, and on the permissions step each row opens its page.
TEST_F(WalkthroughWindows, StageControls)
{
    WalkthroughStage& stage = *view->stage();
    click(stage, stage.modeButtonRect(WalkStep::manual).center());
    EXPECT_EQ(model().state().step, WalkStep::manual);
    EXPECT_EQ(model().lineWords(), std::vector<std::string>{"vch,v"});

    model().go(WalkStep::permissions);
    click(stage, stage.permissionRowRect(1).center());
    click(stage, stage.permissionRowRect(0).topLeft() + QPointF(2, 2));
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(alerts.shown[0].informativeText, Permissions::keyboardAccessSteps({"RECORD"}));
    click(stage, stage.modeButtonRect(WalkStep::ask).center());
    EXPECT_EQ(model().state().step, WalkStep::ask);
}

// The controller's presenter opens the process's one setup window and walkthrough, one at a time:
// the one asked for while the other is open comes when that one closes.
TEST(OnboardingPresenter, ShowsTheSharedWindowsOneAtATime)
{
    // The shared windows live as long as the process, and so must what they use.
    static VirtualMainQueue queue;
    static sim::SimPermissions permissions;
    static RecordingWorkspace workspace;
    static StringPasteboard pasteboard;
    static PageOpener pages{workspace, pasteboard, nullptr};
    static MemoryDefaults defaults;
    OnboardingServices::shared() = {
        .main = &queue, .defaults = &defaults, .permissions = &permissions, .pages = &pages};
    QtWindowPresenter presenter;
    presenter.showSetup();
    presenter.showWalkthrough();
    QWidget* setup = SetupWindow::shared().window();
    ASSERT_NE(setup, nullptr);
    EXPECT_TRUE(setup->isVisible());
    const auto walkthroughShown = [] {
        return WalkthroughWindow::shared().window() && WalkthroughWindow::shared().window()->isVisible();
    };
    EXPECT_FALSE(walkthroughShown()) << "the walkthrough opened on top of the setup window";
    setup->close();
    settle();
    EXPECT_TRUE(walkthroughShown());
    EXPECT_EQ(defaults.boolean(WalkthroughWindow::seenKey), true);

    presenter.showSetup();
    EXPECT_FALSE(setup->isVisible()) << "the setup window opened on top of the walkthrough";
    WalkthroughWindow::shared().window()->close();
    settle();
    EXPECT_EQ(SetupWindow::shared().window(), setup);
    EXPECT_TRUE(setup->isVisible());
    setup->close();
    settle();
}

// The wire's dashes travel while keys reach the corrector and stand still once the wire is cut.
TEST_F(WalkthroughWindows, WireRunsUntilCut)
{
    WalkthroughStage& stage = *view->stage();
    const auto wire = [&] {
        const QRect area(stage.modeButtonRect(WalkStep::ask).center().toPoint() - QPoint(8, 50), QSize(16, 34));
        return stage.grab(area).toImage();
    };
    const QImage first = wire();
    runFor(200);
    EXPECT_NE(wire(), first);

    model().go(WalkStep::secure);
    runFor(400);
    const QImage cut = wire();
    runFor(200);
    EXPECT_EQ(wire(), cut);
}

}  // namespace
}  // namespace kx::test
