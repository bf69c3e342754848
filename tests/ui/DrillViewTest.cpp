// The drill's view offscreen: the control bar through a run, the results, copying the report and
// the start the drill option asks for.

#include "onboarding/DrillView.h"
#include "controller/LaunchOptions.h"
#include "engine/TranslationEngine.h"
#include "platform/VirtualMainQueue.h"

// Last: Qt's emit keyword would spoil the Signal of the headers above.
#include "UiTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

namespace kx::test {
namespace {

/// Two layouts, U.S. and Hebrew; selecting one makes it current.
class TwoLayouts final : public platform::InputSources {
public:
    std::vector<platform::InputSource> enabled() const override { return layouts; }
    std::optional<platform::InputSource> current() const override { return layouts[selected]; }
    void select(const platform::InputSource& source) override { selected = source.handle; }
    std::unique_ptr<Subscription> subscribe(std::function<void()>) override { return nullptr; }
    platform::KeyTable currentTable() const { return platform::KeyTable::forLayout(layouts[selected].layout); }

    std::vector<platform::InputSource> layouts = {{"us", "", 0}, {"il", "", 1}};
    int selected = 0;
};

/// Types what each key types on the selected layout into the view's field, as a desktop would.
class FieldTypist final : public platform::EventPoster {
public:
    bool post(const platform::SyntheticKey& event) override
    {
        if (event.down && field && sources)
            field->insertPlainText(QString::fromStdString(
                TranslationEngine::character(event.code, event.flags, sources->currentTable()).value_or("")));
        return true;
    }
    QPlainTextEdit* field = nullptr;
    TwoLayouts* sources = nullptr;
};

class DrillViewTest : public ::testing::Test {
protected:
    DrillViewTest()
    {
        registry.refresh();
        view.resize(540, 520);
        typist.field = view.field();
        typist.sources = &sources;
    }

    bool visible(QWidget* widget) { return widget->isVisibleTo(&view); }

    VirtualMainQueue queue;
    TwoLayouts sources;
    LayoutRegistry registry{sources};
    FieldTypist typist;
    DrillView view{registry, Drill::Services{.main = &queue, .poster = &typist, .inputSources = &sources}};
};

// The control bar, results and copy button follow the drill before, during and after a run.
TEST_F(DrillViewTest, ControlBarFollowsTheRun)
{
    view.show();
    EXPECT_EQ(view.runButton()->text(), "Run");
    EXPECT_FALSE(visible(view.copyButton()));
    const QImage empty = shot(view, "drill-empty");
    // The field is clipped to its rounded box: the box's corner shows the window behind it.
    const QPoint corner = view.field()->parentWidget()->mapTo(&view, QPoint(0, 0));
    EXPECT_EQ(empty.pixelColor(corner + QPoint(1, 1)), empty.pixelColor(corner - QPoint(2, 2)));
    EXPECT_EQ(empty.pixelColor(corner + QPoint(20, 20)), view.field()->palette().color(QPalette::Base));

    view.runButton()->click();
    ASSERT_TRUE(view.drill().running());
    while (view.drill().done() < 3)
        queue.advance(0.1);
    EXPECT_EQ(view.runButton()->text(), "Stop");
    EXPECT_FALSE(visible(view.copyButton()));
    const auto paces = view.findChildren<QToolButton*>();
    ASSERT_EQ(paces.size(), 3);
    EXPECT_FALSE(paces[0]->isEnabled());
    runFor(50);
    shot(view, "drill-running");

    view.runButton()->click();
    queue.advance(5);
    EXPECT_FALSE(view.drill().running());
    EXPECT_EQ(view.runButton()->text(), "Run");
    ASSERT_TRUE(visible(view.copyButton()));
    EXPECT_TRUE(paces[0]->isEnabled());
    view.copyButton()->click();
    EXPECT_EQ(view.copyButton()->text(), "Copied");
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), view.drill().reportText());
    shot(view, "drill-after-run");
    runFor(1700);
    EXPECT_EQ(view.copyButton()->text(), "Copy report");
}

// The drill option starts a run by itself once, 0.4 s after the view is first shown, at its pace.
TEST_F(DrillViewTest, DrillOptionStartsOnce)
{
    LaunchOptions::shared().drillPace = DrillPace::fluent;
    view.show();
    EXPECT_FALSE(LaunchOptions::shared().drillPace.has_value());
    EXPECT_EQ(view.drill().pace(), Drill::Pace::fluent);
    EXPECT_TRUE(view.findChildren<QToolButton*>()[1]->isChecked());
    EXPECT_FALSE(view.drill().running());
    runFor(450);
    EXPECT_TRUE(view.drill().running());

    view.drill().stop();
    queue.advance(5);
    view.hide();
    view.show();
    runFor(450);
    EXPECT_FALSE(view.drill().running());
}

// Closing the view stops its run, so no key goes anywhere afterwards.
TEST_F(DrillViewTest, ClosingTheViewStopsTheRun)
{
    VirtualMainQueue ownQueue;
    auto* inner =
        new DrillView(registry, Drill::Services{.main = &ownQueue, .poster = &typist, .inputSources = &sources});
    inner->drill().start(registry);
    ASSERT_TRUE(inner->drill().running());
    typist.field = inner->field();
    ownQueue.advance(1.0);
    delete inner;
    typist.field = nullptr;
    ownQueue.advance(10);
    EXPECT_EQ(ownQueue.pending(), 0u);
}

}  // namespace
}  // namespace kx::test
