// The drill sheet over the settings window, hosting the onboarding module's drill view.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "SettingsTestSupport.h"

#include "onboarding/DrillView.h"
#include "platform/EventPoster.h"
#include "platform/VirtualMainQueue.h"
#include "ui/DrillSheet.h"
#include "ui/Typography.h"

#include "UiTestSupport.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace kx::test {
namespace {

class SilentPoster final : public platform::EventPoster {
public:
    bool post(const platform::SyntheticKey&) override { return true; }
};

class DrillSheetTest : public ::testing::Test {
protected:
    DrillViewFactory factory()
    {
        return [this](LayoutRegistry& registry) {
            return new DrillView(registry, Drill::Services{.main = &queue,
                                                           .poster = &poster,
                                                           .inputSources = &bench.inputSources,
                                                           .history = &bench.store});
        };
    }

    SettingsBench bench;
    VirtualMainQueue queue;
    SilentPoster poster;
};

// The sheet is its fixed size around a drill view, and a picture of it is kept for a look by eye.
TEST_F(DrillSheetTest, HostsTheDrillView)
{
    DrillSheet sheet(bench.registry, factory());
    EXPECT_EQ(sheet.size(), QSize(DrillSheet::sheetWidth, DrillSheet::sheetHeight));
    ASSERT_NE(qobject_cast<DrillView*>(sheet.drillView()), nullptr);
    sheet.show();
    settle();
    shot(sheet, "settings-drill-sheet");
}

// Escape closes the sheet as "Done" does.
TEST_F(DrillSheetTest, EscapeClosesLikeDone)
{
    DrillSheet sheet(bench.registry, factory());
    sheet.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&sheet, &escape);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);

    sheet.show();
    buttonNamed(sheet, "Done")->click();
    EXPECT_FALSE(sheet.isVisible());
}

// Without a factory the sheet still opens and closes, with its title row only.
TEST_F(DrillSheetTest, WithoutFactoryShowsTheTitleRow)
{
    DrillSheet sheet(bench.registry, {});
    EXPECT_EQ(sheet.drillView(), nullptr);
    EXPECT_NE(buttonNamed(sheet, "Done"), nullptr);
}

// The title reads "Drill" in the headline font: 13, semibold; the window, listed on its own by the
// desktop, names the program.
TEST_F(DrillSheetTest, TitleInTheHeadlineFont)
{
    DrillSheet sheet(bench.registry, {});
    EXPECT_EQ(sheet.windowTitle(), QString::fromUtf8("Kestrelix — Typing Drill"));
    QLabel* title = labelWithText(sheet, "Drill");
    ASSERT_NE(title, nullptr);
    EXPECT_DOUBLE_EQ(title->font().pointSizeF(), Typography::font(Typography::headline).pointSizeF());
    EXPECT_EQ(title->font().weight(), QFont::DemiBold);
}

}  // namespace
}  // namespace kx::test
