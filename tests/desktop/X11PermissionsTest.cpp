// First: Qt's slots keyword would spoil the Signal of the setup model.
#include "onboarding/SetupModel.h"

#include "onboarding/SetupView.h"
#include "onboarding/Spinner.h"
#include "platform/VirtualMainQueue.h"
#include "platform/x11/X11Permissions.h"

#include "BareBus.h"
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <QDBusMessage>
#include <QDBusVariant>
#include <QLabel>

namespace kx::platform::x11 {
namespace {

using test::DesktopSession;

class X11PermissionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
    }
};

// On a session with the accessibility bus, asking enables it and the permission reads granted.
TEST_F(X11PermissionsTest, AccessibilityGrantedOnceEnabled)
{
    X11Permissions permissions;
    EXPECT_TRUE(permissions.request(Permission::accessibility));
    EXPECT_TRUE(permissions.isGranted(Permission::accessibility));
    EXPECT_TRUE(permissions.isGranted(Permission::inputMonitoring)) << "Xvfb offers XKB, XTEST and RECORD";
    EXPECT_TRUE(permissions.missingParts(Permission::inputMonitoring).empty());
}

// Accessibility turned off and on again by another program (the desktop's own setting) is seen as
// the bus announces it, without asking the bus at every question.
TEST_F(X11PermissionsTest, AccessibilityFollowsTheDesktopsSwitch)
{
    X11Permissions permissions;
    ASSERT_TRUE(permissions.request(Permission::accessibility));
    const auto setEnabled = [](bool on) {
        auto other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "kx-desktop-setting");
        auto message =
            QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set");
        message << "org.a11y.Status"
                << "IsEnabled" << QVariant::fromValue(QDBusVariant(on));
        const bool answered = other.call(message).type() == QDBusMessage::ReplyMessage;
        QDBusConnection::disconnectFromBus("kx-desktop-setting");
        return answered;
    };
    ASSERT_TRUE(setEnabled(false));
    EXPECT_TRUE(DesktopSession::waitFor([&] { return !permissions.isGranted(Permission::accessibility); }, 5));
    ASSERT_TRUE(setEnabled(true));
    EXPECT_TRUE(DesktopSession::waitFor([&] { return permissions.isGranted(Permission::accessibility); }, 5));
}

// A session bus without the accessibility bus, or no bus at all: not granted, and asking fails.
TEST_F(X11PermissionsTest, AccessibilityMissingWithoutItsBus)
{
    const test::TempFolder folder{"kx-bus"};
    const std::string address = test::startBareBus(folder, "session");
    ASSERT_FALSE(address.empty());
    X11Permissions bare(QDBusConnection::connectToBus(QString::fromStdString(address), "kx-bare-bus"));
    EXPECT_FALSE(bare.isGranted(Permission::accessibility));
    EXPECT_FALSE(bare.request(Permission::accessibility));

    X11Permissions none(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "kx-no-bus"));
    EXPECT_FALSE(none.isGranted(Permission::accessibility));
}

// A server without RECORD cannot feed the tap: Input Monitoring is missing there. Xvfb drops XTEST
// with RECORD, and exactly those two are named, XKB (which it has) never. The setup window on that
// server says so and does not spin waiting for what only a new session can bring.
TEST_F(X11PermissionsTest, InputMonitoringMissingWithoutRecord)
{
    const std::string number = DesktopSession::shared().startPrinting(
        {"Xvfb", "-displayfd", "{fd}", "-nolisten", "tcp", "-extension", "RECORD"});
    ASSERT_FALSE(number.empty());
    const std::string display = DesktopSession::shared().display();
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    X11Permissions permissions;
    ::setenv("DISPLAY", display.c_str(), 1);
    EXPECT_FALSE(permissions.isGranted(Permission::inputMonitoring));
    EXPECT_FALSE(permissions.request(Permission::inputMonitoring));
    EXPECT_EQ(permissions.missingParts(Permission::inputMonitoring), (std::vector<std::string>{"XTEST", "RECORD"}));
    EXPECT_TRUE(permissions.missingParts(Permission::accessibility).empty());

    VirtualMainQueue queue;
    SetupModel model(queue, permissions);
    SetupView view(model, [](Permission) {});
    QStringList texts;
    for (const QLabel* label : view.findChildren<QLabel*>())
        if (label->isVisibleTo(&view))
            texts << label->text();
    const QString shown = texts.join('\n');
    EXPECT_TRUE(shown.contains("this display lacks XTEST and RECORD, which")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("it lacks XTEST and RECORD. Log in to a new X11 session")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("lacks XKB")) << shown.toStdString();
    EXPECT_FALSE(view.findChild<Spinner*>()->isVisibleTo(&view));
}

}  // namespace
}  // namespace kx::platform::x11
