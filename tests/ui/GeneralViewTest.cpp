// The General tab: what its controls write, the troubleshooting password, erasing, and the drill.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "SettingsTestSupport.h"

#include "controller/LaunchOptions.h"
#include "platform/Log.h"
#include "ui/FormSection.h"
#include "ui/GeneralView.h"
#include "ui/ModeSelectorRow.h"
#include "ui/SwitchButton.h"

#include "UiTestSupport.h"

#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWheelEvent>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace kx::test {
namespace {

class GeneralViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(480, 900);
        window.show();
        settle();
    }

    void TearDown() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget != &window && widget->isVisible())
                widget->close();
        settle();
    }

    /// Flips the troubleshooting switch on and answers the password prompt with password.
    void unlockWith(const QString& password)
    {
        view->troubleshootingSwitch()->click();
        auto* prompt = shownDialog<QDialog>("troubleshootingPassword");
        ASSERT_NE(prompt, nullptr);
        prompt->findChild<QLineEdit*>()->setText(password);
        buttonNamed(*prompt, "Unlock")->click();
        settle();
    }

    SettingsBench bench;
    QWidget window;
    GeneralView* view = new GeneralView(bench.context(), {}, &window);
};

// The counters read singular only for exactly one.
TEST(GeneralViewLabels, SingularOnlyForOne)
{
    EXPECT_EQ(GeneralView::fixedLabel(0), "times fixed");
    EXPECT_EQ(GeneralView::fixedLabel(1), "time fixed");
    EXPECT_EQ(GeneralView::fixedLabel(2), "times fixed");
    EXPECT_EQ(GeneralView::appsLabel(0), "apps");
    EXPECT_EQ(GeneralView::appsLabel(1), "app");
    EXPECT_EQ(GeneralView::appsLabel(2), "apps");
}

// A mode segment stores the mode and the footer follows at once; a change made elsewhere shows too.
TEST_F(GeneralViewTest, ModePickerWritesTheMode)
{
    ModeSelectorRow* picker = view->modePicker();
    click(*picker, picker->segmentRect(1).center());
    EXPECT_EQ(bench.behavior.correctionMode(), CorrectionMode::ask);
    EXPECT_EQ(bench.defaults.string(BehaviorPrefs::correctionModeKey), "ask");
    EXPECT_TRUE(
        view->correctionSection()->footer().startsWith("A small prompt appears by the mouse pointer. Ctrl+Alt+K"));

    bench.behavior.setCorrectionMode(CorrectionMode::manual);
    EXPECT_EQ(view->modePicker()->selectedMode(), CorrectionMode::manual);
    EXPECT_TRUE(view->correctionSection()->footer().startsWith(QString::fromUtf8("Kestrelix won’t act on its own.")));
}

// The sound switch stores the setting and disables the picker and Preview; a new sound plays at once.
// The picker shows readable names and stores the theme's name.
TEST_F(GeneralViewTest, SoundControlsWriteTheSoundSettings)
{
    ASSERT_GE(view->soundPicker()->count(), 2);
    EXPECT_EQ(view->soundPicker()->currentText(), "Message");
    view->soundSwitch()->click();
    EXPECT_FALSE(bench.sound.enabled());
    EXPECT_FALSE(view->soundPicker()->isEnabled());
    EXPECT_FALSE(view->previewButton()->isEnabled());

    view->soundSwitch()->click();
    const int other = view->soundPicker()->currentIndex() == 0 ? 1 : 0;
    const std::string name = view->soundPicker()->itemData(other).toString().toStdString();
    EXPECT_EQ(view->soundPicker()->itemText(other).toStdString(), SoundPrefs::label(name));
    view->soundPicker()->setCurrentIndex(other);
    view->soundPicker()->activated(other);
    EXPECT_EQ(bench.sound.name(), name);
    ASSERT_EQ(bench.soundService.played().size(), 1u);
    EXPECT_EQ(bench.soundService.played()[0].name, name);
}

// A stored sound that is not offered still shows as the chosen one, by its own name.
TEST_F(GeneralViewTest, StoredSoundOutsideTheListStaysShown)
{
    bench.sound.setName("phone-outgoing-busy");
    GeneralView again(bench.context(), {});
    EXPECT_EQ(again.soundPicker()->currentText(), "phone-outgoing-busy");
    EXPECT_EQ(again.soundPicker()->findData(QStringLiteral("phone-outgoing-busy")),
              again.soundPicker()->currentIndex());
}

/// A wheel turn over widget's centre, as the pointer gives it.
void wheel(QWidget& widget, int delta)
{
    const QPointF at(widget.width() / 2.0, widget.height() / 2.0);
    QWheelEvent event(at, widget.mapToGlobal(at), {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(&widget, &event);
}

// The wheel over the sound picker or the mode selector changes nothing until the control has the
// focus; then it changes it as before. (That the page scrolls instead is seen on a real server.)
TEST_F(GeneralViewTest, WheelChangesNothingWithoutFocus)
{
    QComboBox* picker = view->soundPicker();
    ASSERT_GE(picker->count(), 2);
    const std::string stored = bench.sound.name();
    const int index = picker->currentIndex();

    for (const int delta : {-120, 120}) {
        wheel(*picker, delta);
        wheel(*view->modePicker(), delta);
    }
    settle();
    EXPECT_EQ(picker->currentIndex(), index);
    EXPECT_EQ(bench.sound.name(), stored);
    EXPECT_TRUE(bench.soundService.played().empty());
    EXPECT_EQ(bench.behavior.correctionMode(), CorrectionMode::automatic);
    EXPECT_EQ(picker->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(view->modePicker()->focusPolicy(), Qt::StrongFocus);

    picker->setFocus();
    wheel(*picker, index + 1 < picker->count() ? -120 : 120);
    EXPECT_NE(picker->currentIndex(), index) << "a focused picker still takes the wheel";
}

/// The next control after widget that Tab stops on.
QWidget* nextTabStop(QWidget* widget)
{
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && (next->isHidden() || !(next->focusPolicy() & Qt::TabFocus)))
        next = next->nextInFocusChain();
    return next;
}

// The mode selector follows a change made elsewhere (the tray menu) and keeps its place in the Tab
// order: the first control of the page, before the login switch.
TEST_F(GeneralViewTest, ModeSelectorKeepsItsTabPlace)
{
    bench.behavior.setCorrectionMode(CorrectionMode::manual);
    settle();
    EXPECT_EQ(view->modePicker()->selectedMode(), CorrectionMode::manual);
    // The window's Tab order starts at the window itself.
    EXPECT_EQ(nextTabStop(&window), view->modePicker());
    EXPECT_EQ(nextTabStop(view->modePicker()), view->launchAtLoginSwitch());
}

// Tab reaches the mode selector and the switches; the focused control draws a ring, and the arrow
// keys and Space work it.
TEST_F(GeneralViewTest, KeyboardFocusIsVisible)
{
    ModeSelectorRow* picker = view->modePicker();
    const QImage before = picker->grab().toImage();
    ASSERT_TRUE(tabTo(*picker));
    settle();
    EXPECT_NE(picker->grab().toImage(), before) << "a focus ring";
    shot(*picker, "mode-selector-focused");
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(picker, &right);
    EXPECT_EQ(bench.behavior.correctionMode(), CorrectionMode::ask);

    SwitchButton* sound = view->soundSwitch();
    const QImage unfocused = sound->grab().toImage();
    ASSERT_TRUE(tabTo(*sound));
    settle();
    EXPECT_NE(sound->grab().toImage(), unfocused);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(sound, &space);
    QKeyEvent spaceUp(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(sound, &spaceUp);
    EXPECT_FALSE(bench.sound.enabled());
}

// The login switch registers and unregisters, and keeps the user's choice when the system refuses.
TEST_F(GeneralViewTest, LoginSwitchKeepsTheChoiceWhenRefused)
{
    view->launchAtLoginSwitch()->click();
    EXPECT_EQ(bench.loginItem.state, platform::LoginItem::Status::enabled);
    bench.loginItem.refusal = Error{ErrorCode::denied, "not allowed"};
    view->launchAtLoginSwitch()->click();
    EXPECT_EQ(bench.loginItem.calls(), (std::vector<std::string>{"register", "unregister"}));
    EXPECT_FALSE(view->launchAtLoginSwitch()->isChecked());
}

// The right password turns troubleshooting on and shows its tools and footer.
TEST_F(GeneralViewTest, RightPasswordUnlocksTroubleshooting)
{
    EXPECT_TRUE(view->troubleshootingTools()[0]->isHidden());
    unlockWith("TR5820");
    EXPECT_TRUE(bench.behavior.troubleshooting());
    EXPECT_TRUE(view->troubleshootingSwitch()->isChecked());
    EXPECT_FALSE(view->troubleshootingTools()[0]->isHidden());
    EXPECT_TRUE(view->troubleshootingSection()->footer().startsWith("While Troubleshooting mode is on"));
    EXPECT_EQ(shownDialog<QMessageBox>("incorrectPassword"), nullptr);
}

// Another case or a trailing blank is refused with the alert; the mode stays off, the history cleared.
TEST_F(GeneralViewTest, WrongPasswordsAreRefused)
{
    for (const QString& wrong : {QString("tr5820"), QString("TR5820 ")}) {
        bench.behavior.setTroubleshooting(true);
        bench.store.add(bench.correction("akuo", "שלום", 0));
        bench.behavior.setTroubleshooting(false);
        ASSERT_EQ(bench.store.records().size(), 1u);

        unlockWith(wrong);
        EXPECT_FALSE(bench.behavior.troubleshooting()) << wrong.toStdString();
        EXPECT_FALSE(view->troubleshootingSwitch()->isChecked());
        EXPECT_TRUE(bench.store.records().empty());
        auto* alert = shownDialog<QMessageBox>("incorrectPassword");
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->text(), "Incorrect Password");
        alert->close();
        settle();
    }
}

// Cancel leaves the mode off without a second alert.
TEST_F(GeneralViewTest, CancelShowsNoAlert)
{
    view->troubleshootingSwitch()->click();
    auto* prompt = shownDialog<QDialog>("troubleshootingPassword");
    ASSERT_NE(prompt, nullptr);
    prompt->findChild<QLineEdit*>()->setText("TR5820");
    buttonNamed(*prompt, "Cancel")->click();
    settle();
    EXPECT_FALSE(bench.behavior.troubleshooting());
    EXPECT_EQ(shownDialog<QMessageBox>("incorrectPassword"), nullptr);
}

// Turning troubleshooting off empties the history but keeps the counters.
TEST_F(GeneralViewTest, TurningTroubleshootingOffClearsHistoryOnly)
{
    bench.behavior.setTroubleshooting(true);
    bench.store.add(bench.correction("akuo", "שלום", 0));
    view->troubleshootingSwitch()->click();
    EXPECT_FALSE(bench.behavior.troubleshooting());
    EXPECT_TRUE(bench.store.records().empty());
    EXPECT_EQ(view->fixedTile()->value(), 1);
    EXPECT_EQ(view->fixedTile()->label(), "time fixed");
    EXPECT_EQ(view->appsTile()->label(), "app");
}

// Verbose logging goes to the controller and into the stored setting.
TEST_F(GeneralViewTest, VerboseLoggingIsStored)
{
    bench.behavior.setTroubleshooting(true);
    view->verboseSwitch()->click();
    EXPECT_TRUE(bench.actions.debug);
    EXPECT_EQ(bench.defaults.boolean(SettingsActions::debugLoggingKey), true);
    view->verboseSwitch()->click();
    EXPECT_FALSE(bench.actions.debug);
    EXPECT_EQ(bench.defaults.boolean(SettingsActions::debugLoggingKey), false);
}

// The tool buttons reach the controller.
TEST_F(GeneralViewTest, ToolButtonsCallTheController)
{
    bench.behavior.setTroubleshooting(true);
    buttonNamed(*view, "Write Diagnostics to Log")->click();
    buttonNamed(*view, "Test Correction (3s)")->click();
    buttonNamed(*view, QString::fromUtf8("Check for Updates…"))->click();
    buttonNamed(*view, QString::fromUtf8("Send Feedback…"))->click();
    buttonNamed(*view, "How It Works")->click();
    buttonNamed(*view, "Open Log File")->click();
    EXPECT_EQ(bench.actions.calls, (std::vector<std::string>{"runDiagnostics", "testCorrection", "checkForUpdates",
                                                             "showFeedback", "openLogFile"}));
    EXPECT_EQ(bench.windows.walkthroughs, 1);
}

// "Erase Everything" zeroes the counters, deletes the log and turns verbose logging off, while
// troubleshooting mode stays on; "Cancel" erases nothing.
TEST_F(GeneralViewTest, EraseEverythingAfterConfirmation)
{
    bench.behavior.setTroubleshooting(true);
    bench.store.add(bench.correction("akuo", "שלום", 0));
    view->verboseSwitch()->click();
    Log::line("something");
    Log::flush();

    buttonNamed(*view, "Erase All Data")->click();
    auto* confirm = shownDialog<QMessageBox>("eraseConfirmation");
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(confirm->defaultButton(), buttonNamed(*confirm, "Cancel")) << "Return never erases";
    EXPECT_GE(confirm->width(), QFontMetrics(confirm->font()).horizontalAdvance(confirm->windowTitle()) + 120);
    buttonNamed(*confirm, "Cancel")->click();
    settle();
    EXPECT_EQ(bench.store.lifetimeWordsFixed(), 1);

    buttonNamed(*view, "Erase All Data")->click();
    confirm = shownDialog<QMessageBox>("eraseConfirmation");
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(confirm->windowTitle(), "Erase all Kestrelix data?");
    // The destructive answer is written in red, the harmless one is not.
    const auto reddest = [](QWidget* button) {
        const QImage picture = button->grab().toImage();
        int most = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QColor c = picture.pixelColor(x, y);
                most = std::max(most, c.red() - std::max(c.green(), c.blue()));
            }
        return most;
    };
    EXPECT_GT(reddest(buttonNamed(*confirm, "Erase Everything")), 100);
    EXPECT_LT(reddest(buttonNamed(*confirm, "Cancel")), 40);
    buttonNamed(*confirm, "Erase Everything")->click();
    settle();
    Log::flush();
    EXPECT_EQ(bench.store.lifetimeWordsFixed(), 0);
    EXPECT_TRUE(bench.store.records().empty());
    EXPECT_EQ(view->fixedTile()->value(), 0);
    EXPECT_EQ(view->appsTile()->value(), 0);
    EXPECT_FALSE(std::filesystem::exists(Log::url()));
    EXPECT_FALSE(view->verboseSwitch()->isChecked());
    EXPECT_FALSE(bench.actions.debug);
    EXPECT_EQ(bench.defaults.boolean(SettingsActions::debugLoggingKey), false);
    EXPECT_TRUE(bench.behavior.troubleshooting());
}

/// A drill view that counts how many were made.
int drillViewsMade = 0;
QWidget* makeDrillView(LayoutRegistry&)
{
    ++drillViewsMade;
    return new QWidget;
}

// Started to run a drill: troubleshooting turns on without a prompt and the drill sheet opens;
// Escape closes it like "Done", and each opening has a new drill view.
TEST(GeneralViewDrill, LaunchOptionOpensTheSheet)
{
    SettingsBench bench;
    QWidget window;
    LaunchOptions::shared().drillPace = DrillPace::fluent;
    auto* view = new GeneralView(bench.context(), makeDrillView, &window);
    window.show();
    settle();
    // The drill view clears the option when it starts; this one does not, so clear it here.
    LaunchOptions::shared().drillPace.reset();

    EXPECT_TRUE(bench.behavior.troubleshooting());
    EXPECT_EQ(shownDialog<QDialog>("troubleshootingPassword"), nullptr);
    DrillSheet* sheet = view->drillSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->size(), QSize(540, 580));
    QWidget* firstDrill = sheet->drillView();
    EXPECT_NE(firstDrill, nullptr);

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(sheet, &escape);
    settle();
    EXPECT_EQ(view->drillSheet(), nullptr);

    buttonNamed(*view, QString::fromUtf8("Open Drill…"))->click();
    ASSERT_NE(view->drillSheet(), nullptr);
    EXPECT_EQ(drillViewsMade, 2);
    buttonNamed(*view->drillSheet(), "Done")->click();
    settle();
    EXPECT_EQ(view->drillSheet(), nullptr);
}

}  // namespace
}  // namespace kx::test
