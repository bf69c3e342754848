// The controller's alerts as message boxes.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "controller/Permissions.h"

#include "ui/MessageAlert.h"

#include "UiTestSupport.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace kx::test {
namespace {

// The box shows the texts, modal to the application; the first button answers 0, Escape the last button.
TEST(MessageAlertTest, AnswersWithTheButtonChosen)
{
    const Alert note{.message = "Kestrelix is in beta", .informativeText = "Thanks.", .buttons = {"Copy", "Close"}};
    MessageAlert alerts;
    std::vector<std::optional<std::size_t>> answers;
    const auto record = [&](std::optional<std::size_t> chosen) { answers.push_back(chosen); };

    alerts.show(note, record);
    ASSERT_NE(alerts.box(), nullptr);
    EXPECT_EQ(alerts.box()->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(alerts.box()->text(), QStringLiteral("Kestrelix is in beta"));
    EXPECT_EQ(alerts.box()->informativeText(), QStringLiteral("Thanks."));
    alerts.box()->defaultButton()->click();

    alerts.show(note, record);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(alerts.box(), &escape);
    runFor(20);
    EXPECT_EQ(answers, (std::vector<std::optional<std::size_t>>{0, 1}));
    EXPECT_EQ(alerts.box(), nullptr) << "closed boxes are deleted";
}

// The long explanations of the permissions show whole, in a box as wide as its title wants.
TEST(MessageAlertTest, ShowsTheStepsWhole)
{
    MessageAlert alerts;
    alerts.show({.message = "Turn on accessibility",
                 .informativeText = std::string(Permissions::accessibilitySteps),
                 .buttons = {"Close"}},
                {});
    ASSERT_NE(alerts.box(), nullptr);
    runFor(50);
    const QImage picture = shot(*alerts.box(), "alert-accessibility-steps");
    EXPECT_GT(picture.pixelColor(picture.width() / 2, picture.height() / 2).lightness(), 100) << "painted";
    alerts.box()->close();
    runFor(20);
}

}  // namespace
}  // namespace kx::test
